// Writes a results database as years of nightly runs of one project leave it when
// vendrik-history loads each night's SQL script and SARIF log: RUNS nights of FINDINGS
// findings over FILES files (TargetA / Nightly, stamped one day apart), of which about 1 %
// are fixed and 1 % added each night, and whose lines move in about 0.5 % of the files. It
// writes testresults, the run totals and their triggers, the runs' facts and the findings' spans as
// load does, with the converter's own fingerprints. NEXT_REPORT receives the report of the
// night after, to time a load into the full database. With "steps", the findings grow slowly,
// fall by a clean-up every 50 nights and jump by about 4 % half-way, as a page's trend shows them.
// Deterministic.
//   generate_history DATABASE NEXT_REPORT [RUNS [FILES [FINDINGS [steps]]]]
//                                        (default 3650 runs, 4000 files, 75000 findings)

#include "analysis/finding_counts.h"
#include "history/store/finding_history.h"
#include "history/store/sqlite_tables.h"
#include "output/review_findings.h"
#include "output/sql_script.h"
#include "parse/report_reader.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace vendrik;
using namespace vendrik::history;

struct Generated {
    int file = 0;
    int line = 0;
    std::uint32_t priority = 0;
    std::uint32_t number = 0;
    int id = 0;
    std::string start;  ///< order key of the first night of its current span
    std::string origin; ///< its fingerprint and first night, as load names it
};

constexpr std::array<std::pair<std::uint32_t, const char*>, 5> messages = {
    {{2000, "No else clause for the if statement"},
     {2880, "This code is unreachable"},
     {2982, "This assignment is redundant"},
     {3200, "Function return value is not used"},
     {5310, "HIS metric STCYC exceeds 20"}}};

std::string filePath(int file) {
    return "Src\\Src_NV\\m" + std::to_string(file / 40) + "\\file" + std::to_string(file) + ".c";
}

std::string textOf(const Generated& finding) {
    for (const auto& [number, text] : messages) {
        if (number == finding.number) {
            return std::string(text) + " (#" + std::to_string(finding.id) + ")";
        }
    }
    return {};
}

std::string reportLine(const Generated& finding) {
    return "D:\\w\\" + filePath(finding.file) + " (" + std::to_string(finding.line) +
           ") : warning : QAC(Prio" + std::to_string(finding.priority) +
           ") Msg: " + std::to_string(finding.number) + "(" + textOf(finding) +
           ".) Ref: MISRA C:2012 Rule-15.7\n";
}

/// The converter's fingerprints of `findings`, by id: the report read and reviewed as the
/// converter does.
void addFingerprints(const std::vector<Generated>& findings, std::map<int, std::string>& prints) {
    std::string report;
    for (const Generated& finding : findings) {
        report += reportLine(finding);
    }
    std::istringstream input(report);
    FindingsList list;
    readReport(input, list);
    forEachReviewFinding(list, [&](const ReviewFinding& review) {
        const std::string_view text = review.finding.messageText;
        const std::size_t at = text.rfind("(#");
        prints[std::stoi(std::string(text.substr(at + 2)))] = review.fingerprint;
    });
}

void exec(const SqliteDatabase& db, const std::string& sql) {
    executeSqlite(db, sql.c_str(), "generate");
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: generate_history DATABASE NEXT_REPORT [RUNS [FILES "
                             "[FINDINGS [steps]]]]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::stoi(argv[3]) : 3650;
    const int files = argc > 4 ? std::stoi(argv[4]) : 4000;
    const int total = argc > 5 ? std::stoi(argv[5]) : 75000;
    const bool steps = argc > 6 && std::string(argv[6]) == "steps";
    SqliteDatabase db;
    openDatabase(db, argv[1], SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, 1000);
    exec(db, "pragma journal_mode = off; pragma synchronous = off; begin");
    exec(db, std::string(sqlSchemaStatement));
    createFindingTables(db);
    SqliteStatement row(
        db,
        "insert into testresults values ('TargetA', 'Nightly', 'QAC 8.1.2.R', ?1, ?2, "
        "'02:00:00', ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)",
        "generate");
    SqliteStatement span(
        db,
        "insert into vendrik_history_findings values ('TargetA', 'Nightly', '', ?1, "
        "?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, 'MISRA C:2012 Rule-15.7', ?10)",
        "generate");
    SqliteStatement facts(
        db,
        "insert into vendrik_history_run_facts values ('TargetA', 'Nightly', ?1, ?2, "
        "'02:00:00', '', ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, "
        "?16, null)",
        "generate");

    std::mt19937 random(2026);
    int nextId = 0;
    const auto fresh = [&](int file) {
        const auto& [number, text] = messages[random() % messages.size()];
        return Generated{file,
                         static_cast<int>(1 + random() % 900),
                         static_cast<std::uint32_t>(random() % 10),
                         number,
                         nextId++,
                         "",
                         ""};
    };
    std::vector<Generated> alive;
    for (int index = 0; index < total; ++index) {
        alive.push_back(fresh(static_cast<int>(random() % static_cast<unsigned>(files))));
    }
    std::map<int, std::string> prints;
    addFingerprints(alive, prints);

    const auto closeSpan = [&](const Generated& finding, const std::string& last) {
        const std::string uri = [&] {
            std::string path = filePath(finding.file);
            for (char& c : path) {
                c = c == '\\' ? '/' : c;
            }
            return path;
        }();
        span.reset().bind(1, finding.start).bind(2, last).bind(3, prints.at(finding.id));
        span.bind(4, uri);
        sqlite3_bind_int(span.handle(), 5, finding.line);
        sqlite3_bind_int(span.handle(), 6, static_cast<int>(finding.number));
        sqlite3_bind_int(span.handle(), 7, static_cast<int>(finding.priority));
        sqlite3_bind_int(span.handle(), 8, isHisMessage(finding.number) ? 1 : 0);
        span.bind(9, textOf(finding) + ".").bind(10, finding.origin);
        span.step();
    };

    std::string previousKey;
    for (int run = 0; run <= runs; ++run) {
        if (run > 0) { // the night's changes: some fixed, some added, lines moved in some files
            int fixes = total / 100;
            int additions = total / 100;
            if (steps) { // slow growth, a clean-up every 50 nights, a jump half-way
                additions += total / 1500 + (run == runs / 2 + 25 ? total / 25 : 0);
                fixes += run % 50 == 0 ? total * 3 / 100 : 0;
            }
            std::vector<Generated> added;
            for (int change = 0; change < std::max(fixes, additions); ++change) {
                if (change < fixes && !alive.empty()) {
                    const std::size_t at = random() % alive.size();
                    closeSpan(alive[at], previousKey);
                    alive[at] = alive.back();
                    alive.pop_back();
                }
                if (change < additions) {
                    added.push_back(
                        fresh(static_cast<int>(random() % static_cast<unsigned>(files))));
                }
            }
            addFingerprints(added, prints);
            std::vector<int> movedFrom(static_cast<std::size_t>(files), 1 << 30);
            for (int moved = 0; moved < std::max(1, files / 200); ++moved) {
                movedFrom[random() % static_cast<unsigned>(files)] =
                    static_cast<int>(random() % 900);
            }
            for (Generated& finding : alive) {
                if (finding.line >= movedFrom[static_cast<std::size_t>(finding.file)]) {
                    closeSpan(finding, previousKey);
                    finding.line += 3;
                    finding.start.clear();
                }
            }
            alive.insert(alive.end(), added.begin(), added.end());
        }
        if (run == runs) {
            break; // the night after: its report only
        }
        const int day = run; // one run a night from 2016.01.01 on, 28 days a month for simplicity
        char date[16];
        std::snprintf(date, sizeof date, "%04d.%02d.%02d", 2016 + day / 336, 1 + day / 28 % 12,
                      1 + day % 28);
        char hash[16];
        std::snprintf(hash, sizeof hash, "%08x", static_cast<unsigned>(random()));
        const std::string key = std::string(date) + " 02:00:00 " + hash;
        std::vector<std::array<std::int64_t, 12>> counts(static_cast<std::size_t>(files));
        for (Generated& finding : alive) {
            finding.start = finding.start.empty() ? key : finding.start;
            if (finding.origin.empty()) {
                finding.origin = prints.at(finding.id) + "@" + key;
            }
            auto& count = counts[static_cast<std::size_t>(finding.file)];
            ++count[0];
            ++count[isHisMessage(finding.number) ? 11 : 1 + finding.priority];
        }
        std::array<std::int64_t, 12> sums{};
        std::int64_t present = 0;
        for (int file = 0; file < files; ++file) {
            const auto& count = counts[static_cast<std::size_t>(file)];
            if (count[0] == 0) {
                continue;
            }
            ++present;
            row.reset().bind(1, hash).bind(2, date).bind(3, "TargetA\\" + filePath(file));
            for (std::size_t column = 0; column < 12; ++column) {
                sqlite3_bind_int64(row.handle(), 4 + static_cast<int>(column), count[column]);
                sums[column] += count[column];
            }
            row.step();
        }
        facts.reset().bind(1, hash).bind(2, date);
        sqlite3_bind_int64(facts.handle(), 3, static_cast<std::int64_t>(alive.size()));
        sqlite3_bind_int64(facts.handle(), 4, present);
        for (std::size_t column = 0; column < 12; ++column) {
            sqlite3_bind_int64(facts.handle(), 5 + static_cast<int>(column), sums[column]);
        }
        facts.step();
        previousKey = key;
    }
    for (const Generated& finding : alive) {
        if (!finding.start.empty()) {
            closeSpan(finding, "~"); // open: present in the newest run
        }
    }
    keepRunTotals(db);
    exec(db, "commit");

    std::ofstream next(argv[2], std::ios::binary);
    for (const Generated& finding : alive) {
        next << reportLine(finding);
    }
    return next.good() ? 0 : 1;
}
