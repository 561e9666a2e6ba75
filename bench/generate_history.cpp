// Writes a results database as years of nightly converter runs would leave it: RUNS runs of
// FILES files each for one platform and project, stamped one day apart, with counts that
// drift from run to run, and the index and run totals that vendrik-history load keeps.
// Deterministic.
//   generate_history DATABASE [RUNS [FILES]]      (default 3650 runs of 4000 files)

#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: generate_history DATABASE [RUNS [FILES]]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::stoi(argv[2]) : 3650;
    const int files = argc > 3 ? std::stoi(argv[3]) : 4000;
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[1], &db) != SQLITE_OK) {
        return 1;
    }
    sqlite3_exec(db,
                 "pragma journal_mode = off; pragma synchronous = off; begin; create table if "
                 "not exists testresults (platform, project, tool, githash, date, time, "
                 "filename, all_errors, misra_0, misra_1, misra_2, misra_3, misra_4, misra_5, "
                 "misra_6, misra_7, misra_8, misra_9, his, UNIQUE (date, time, filename));",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into testresults values ('TargetA', 'Nightly', 'QAC 8.1.2.R', ?1, "
                       "?2, '02:00:00', ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)",
                       -1, &insert, nullptr);
    std::mt19937 random(2026);
    std::vector<std::array<int, 11>> counts(static_cast<std::size_t>(files));
    for (auto& file : counts) {
        for (int& count : file) {
            count = static_cast<int>(random() % 6);
        }
    }
    for (int run = 0; run < runs; ++run) {
        const int day = run; // one run a night from 2016.01.01 on, 28 days a month for simplicity
        char date[16];
        std::snprintf(date, sizeof date, "%04d.%02d.%02d", 2016 + day / 336, 1 + day / 28 % 12,
                      1 + day % 28);
        char hash[16];
        std::snprintf(hash, sizeof hash, "%08x", static_cast<unsigned>(random()));
        for (int file = 0; file < files; ++file) {
            auto& count = counts[static_cast<std::size_t>(file)];
            count[static_cast<std::size_t>(random() % 11)] += random() % 3 == 0 ? 1 : 0;
            int total = 0;
            for (const int value : count) {
                total += value;
            }
            const std::string name = "TargetA\\Src\\Src_NV\\m" + std::to_string(file / 40) +
                                     "\\file" + std::to_string(file) + ".c";
            sqlite3_bind_text(insert, 1, hash, -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, date, -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 3, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 4, std::to_string(total).c_str(), -1, SQLITE_TRANSIENT);
            for (int column = 0; column < 11; ++column) {
                sqlite3_bind_text(insert, 5 + column,
                                  std::to_string(count[static_cast<std::size_t>(column)]).c_str(),
                                  -1, SQLITE_TRANSIENT);
            }
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
    }
    sqlite3_finalize(insert);
    // The index and the run totals that vendrik-history load keeps.
    sqlite3_exec(db,
                 "create index if not exists vendrik_history_runs on testresults (platform, "
                 "project, date, time, githash); create table vendrik_history_run_totals "
                 "(platform, project, githash, date, time, files, all_errors, misra_0, misra_1, "
                 "misra_2, misra_3, misra_4, misra_5, misra_6, misra_7, misra_8, misra_9, his, "
                 "primary key (platform, project, date, time, githash)); insert into "
                 "vendrik_history_run_totals select platform, project, githash, date, time, "
                 "count(*), sum(all_errors), sum(misra_0), sum(misra_1), sum(misra_2), "
                 "sum(misra_3), sum(misra_4), sum(misra_5), sum(misra_6), sum(misra_7), "
                 "sum(misra_8), sum(misra_9), sum(his) from testresults group by platform, "
                 "project, githash, date, time; create table vendrik_history_state "
                 "(summed_rows); insert into vendrik_history_state select count(*) from "
                 "testresults;",
                 nullptr, nullptr, nullptr);
    const int status = sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return status == SQLITE_OK ? 0 : 1;
}
