#include "history/store/pg_store.h"

#include "history/finding_match.h"
#include "history/store/finding_history.h"
#include "history/store/pg_connection.h"
#include "history/store/pg_load.h"
#include "history/store/pg_session.h"
#include "history/store/queries.h"

namespace vendrik::history {

namespace {

RunKey runAt(const PgRows& rows, int row, int first) {
    return {rows.text(row, first), rows.text(row, first + 1), rows.text(row, first + 2),
            rows.text(row, first + 3), rows.text(row, first + 4)};
}

std::vector<FileRow> rowsOf(const PgRows& rows) {
    std::vector<FileRow> found;
    for (int row = 0; row < rows.size(); ++row) {
        FileRow& file = found.emplace_back(FileRow{rows.text(row, 0), {}});
        for (std::size_t column = 0; column < counterColumns.size(); ++column) {
            file.counters[column] = rows.number(row, 1 + static_cast<int>(column));
        }
    }
    return found;
}

class PgStore : public HistoryStore {
  public:
    PgStore(const std::string& target, StoreAccess access) : target_(target) {
        if (access == StoreAccess::write) {
            return; // each load connects for itself
        }
        connection_.emplace(target);
        // Sorting a run's findings in memory, and no compiling of queries that run once.
        connection_->run("select set_config('work_mem', '64MB', false), set_config('jit', 'off', "
                         "false)",
                         "set up the session");
        connection_->run("begin transaction isolation level repeatable read, read only",
                         "start a transaction");
        if (!hasPgTables(*connection_)) {
            throw StoreError("the database " + connection_->shown() +
                             " has no table testresults (load a script into it first)");
        }
    }

    bool isStoredIn(const std::string&) const override { return false; }

    LoadResult loadScript(const std::string& script, const std::string& branch) override {
        return loadScriptToServer(target_, script, branch);
    }

    LoadResult loadLog(const LoggedRun& logged, const std::optional<std::string>& branch) override {
        return loadLogToServer(target_, logged, branch);
    }

    void recordGate(const RunKey& run, const std::string& branch, bool passed) override {
        recordGateOnServer(target_, run, branch, passed);
    }

    std::vector<RunTotals> runs(const std::optional<std::string>& platform,
                                const std::optional<std::string>& project,
                                const std::optional<std::string>& branch) override {
        std::string totalsColumns;
        for (const std::string_view column : counterColumns) {
            totalsColumns += ", t." + std::string(column);
        }
        const PgRows rows = connection_->run(
            "select * from (select t.platform, t.project, t.githash, t.date, t.time, t.files" +
                totalsColumns +
                ", coalesce(f.branch, '') as branch from vendrik_history_run_totals t left join "
                "vendrik_history_run_facts f using (platform, project, githash, date, time) union "
                "all select platform, project, githash, date, time, files, " +
                counterList(false) +
                ", branch from vendrik_history_run_facts f where findings is not null and not "
                "exists (select 1 from vendrik_history_run_totals r where r.date = f.date and "
                "r.time = f.time and r.platform = f.platform and r.project = f.project and "
                "r.githash = f.githash)) a where ($1::text is null or platform = $1) and "
                "($2::text is null or project = $2) and ($3::text is null or branch = $3) order "
                "by date desc, time desc, platform, project, githash",
            {platform, project, branch}, "list the runs");
        std::vector<RunTotals> found;
        for (int row = 0; row < rows.size(); ++row) {
            RunTotals& totals =
                found.emplace_back(RunTotals{runAt(rows, row, 0),
                                             rows.number(row, 5),
                                             {},
                                             rows.text(row, 6 + counterColumns.size())});
            for (std::size_t column = 0; column < counterColumns.size(); ++column) {
                totals.counters[column] = rows.number(row, 6 + static_cast<int>(column));
            }
        }
        return found;
    }

    std::vector<RunKey> runKeys(const std::string& platform, const std::string& project,
                                const std::string& branch) override {
        std::vector<RunKey> keys;
        for (RunTotals& run : runs(platform, project, branch)) {
            keys.push_back(std::move(run.run));
        }
        return keys;
    }

    std::vector<RunKey> passedRuns(const std::string& platform, const std::string& project,
                                   const std::string& branch) override {
        PgSession session(*connection_);
        return history::passedRuns(session, platform, project, branch);
    }

    std::vector<FileRow> files(const RunKey& run, const std::string& branch) override {
        std::vector<FileRow> rows = rowsOf(connection_->run(
            "select filename, " + counterList(false) +
                " from testresults where date = $4 and time = $5 and platform = $1 and project = "
                "$2 and githash = $3 order by filename",
            {run.platform, run.project, run.githash, run.date, run.time},
            "read the files of a run"));
        if (!rows.empty()) {
            return rows;
        }
        PgSession session(*connection_);
        return loggedFiles(session, run, branch);
    }

    std::optional<std::vector<TrackedFinding>> findings(const RunKey& run,
                                                        const std::string& branch) override {
        PgSession session(*connection_);
        return storedFindings(session, run, branch);
    }

    std::vector<std::vector<std::int64_t>>
    fileTrends(const std::vector<RunTotals>& runs,
               const std::vector<std::string>& filenames) override {
        PgSession session(*connection_);
        return history::fileTrends(session, runs, filenames);
    }

  private:
    std::string target_;
    std::optional<PgConnection> connection_;
};

} // namespace

std::unique_ptr<HistoryStore> openPgStore(const std::string& target, StoreAccess access) {
    return std::make_unique<PgStore>(target, access);
}

} // namespace vendrik::history
