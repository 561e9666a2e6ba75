#include "history/store/sqlite_store.h"

#include "history/finding_match.h"
#include "history/store/finding_history.h"
#include "history/store/queries.h"
#include "history/store/sqlite_database.h"
#include "history/store/sqlite_load.h"
#include "history/store/sqlite_tables.h"
#include "output/same_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <string_view>
#include <tuple>

namespace vendrik::history {

namespace {

bool hasResultsTable(const SqliteDatabase& db) {
    SqliteStatement table(
        db, "select 1 from sqlite_master where type = 'table' and name = 'testresults'",
        "read the schema");
    return table.step();
}

class SqliteStore : public HistoryStore {
  public:
    SqliteStore(const std::string& path, StoreAccess access, int busyMilliseconds)
        : path_(path), busyMilliseconds_(busyMilliseconds) {
        if (access == StoreAccess::write) {
            return; // each load opens the file for itself, creating it when missing
        }
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) {
            throw StoreError("the database " + path + " does not exist");
        }
        openDatabase(db_, path, SQLITE_OPEN_READONLY, busyMilliseconds);
        bool hasTable = false;
        try {
            hasTable = hasResultsTable(db_);
        } catch (const StoreError&) {
            if ((sqlite3_extended_errcode(db_.handle) & 0xFF) != SQLITE_READONLY) {
                throw;
            }
            hasTable = hasResultsTableUnchangeable(path, busyMilliseconds);
        }
        if (!hasTable) {
            throw StoreError("the database " + path + " has no table testresults");
        }
    }

    bool isStoredIn(const std::string& path) const override { return namesOneFile(path, path_); }

    LoadResult loadScript(const std::string& script, const std::string& branch) override {
        return history::loadScript(path_, script, branch, busyMilliseconds_);
    }

    LoadResult loadLog(const LoggedRun& logged, const std::optional<std::string>& branch) override {
        return history::loadLog(path_, logged, branch, busyMilliseconds_);
    }

    void recordGate(const RunKey& run, const std::string& branch, bool passed) override {
        history::recordGate(path_, run, branch, passed, busyMilliseconds_);
    }

    std::vector<RunTotals> runs(const std::optional<std::string>& platform,
                                const std::optional<std::string>& project,
                                const std::optional<std::string>& branch) override {
        // The totals that load keeps, while they are current; else the table summed up.
        const std::string totals =
            runTotalsCurrent(db_)
                ? "select platform, project, githash, date, time, files, " + counterList(false) +
                      " from vendrik_history_run_totals"
                : "select " + runTotalsColumns() +
                      " from testresults group by platform, project, githash, date, time";
        // With their branches, and the runs that only a SARIF log recorded.
        const std::string all =
            hasFindingTables(db_)
                ? "select t.*, coalesce(f.branch, '') as branch from (" + totals +
                      ") t left join vendrik_history_run_facts f using (platform, project, "
                      "githash, date, time) union all select platform, project, githash, date, "
                      "time, files, " +
                      counterList(false) +
                      ", branch from vendrik_history_run_facts f where findings is not null and "
                      "not exists (select 1 from testresults r where r.date = f.date and r.time "
                      "= f.time and r.platform = f.platform and r.project = f.project and "
                      "r.githash = f.githash)"
                : "select *, '' as branch from (" + totals + ")";
        SqliteStatement query(
            db_,
            "select * from (" + all +
                ") where (?1 is null or platform = ?1) and (?2 is null or project = "
                "?2) and (?3 is null or branch = ?3) order by date desc, time desc, "
                "platform, project, githash",
            "list the runs");
        if (platform) {
            query.bind(1, *platform);
        }
        if (project) {
            query.bind(2, *project);
        }
        if (branch) {
            query.bind(3, *branch);
        }
        std::vector<RunTotals> found;
        while (query.step()) {
            RunTotals totals{runAt(query, 0),
                             query.number(5),
                             {},
                             query.text(6 + static_cast<int>(counterColumns.size()))};
            for (std::size_t column = 0; column < counterColumns.size(); ++column) {
                totals.counters[column] = query.number(6 + static_cast<int>(column));
            }
            found.push_back(std::move(totals));
        }
        return found;
    }

    std::vector<RunKey> runKeys(const std::string& platform, const std::string& project,
                                const std::string& branch) override {
        std::vector<RunKey> tableKeys = tableRunKeys(platform, project);
        if (!hasFindingTables(db_)) {
            return branch.empty() ? tableKeys : std::vector<RunKey>();
        }
        // The recorded runs of the platform and project: their branches, and those that only
        // a SARIF log recorded.
        SqliteStatement facts(
            db_,
            "select platform, project, githash, date, time, branch, findings is not "
            "null from vendrik_history_run_facts where platform = ?1 and project = ?2",
            "list the runs");
        facts.bind(1, platform).bind(2, project);
        std::map<std::string, std::pair<RunKey, std::string>> logged;
        std::map<std::string, std::string> branches;
        while (facts.step()) {
            const RunKey key = runAt(facts, 0);
            branches[orderKey(key)] = facts.text(5);
            if (facts.number(6) != 0) {
                logged.emplace(orderKey(key), std::pair(key, facts.text(5)));
            }
        }
        std::vector<RunKey> keys;
        for (RunKey& key : tableKeys) {
            const std::string order = orderKey(key);
            logged.erase(order);
            const auto recorded = branches.find(order);
            if ((recorded == branches.end() ? std::string() : recorded->second) == branch) {
                keys.push_back(std::move(key));
            }
        }
        for (auto& [order, run] : logged) {
            if (run.second == branch) {
                keys.push_back(run.first);
            }
        }
        std::sort(keys.begin(), keys.end(), [](const RunKey& a, const RunKey& b) {
            return std::tie(b.date, b.time, a.githash) < std::tie(a.date, a.time, b.githash);
        });
        return keys;
    }

    std::vector<RunKey> passedRuns(const std::string& platform, const std::string& project,
                                   const std::string& branch) override {
        if (!hasFindingTables(db_)) {
            return {};
        }
        SqliteSession session(db_);
        return history::passedRuns(session, platform, project, branch);
    }

    std::optional<std::vector<TrackedFinding>> findings(const RunKey& run,
                                                        const std::string& branch) override {
        if (!hasFindingTables(db_)) {
            return std::nullopt;
        }
        SqliteSession session(db_);
        return storedFindings(session, run, branch);
    }

  private:
    std::vector<RunKey> tableRunKeys(const std::string& platform, const std::string& project) {
        std::vector<RunKey> keys;
        SqliteStatement indexed(db_,
                                "select 1 from sqlite_master where type = 'index' and name = "
                                "'vendrik_history_runs'",
                                "read the schema");
        if (!indexed.step()) {
            SqliteStatement query(db_,
                                  "select distinct platform, project, githash, date, time from "
                                  "testresults where platform = ?1 and project = ?2 order by date "
                                  "desc, time desc, githash",
                                  "list the runs");
            query.bind(1, platform).bind(2, project);
            while (query.step()) {
                keys.push_back(runAt(query, 0));
            }
            return keys;
        }
        // With the index, one query that seeks: each earlier date, each earlier time of a
        // date and each next hash of a time is one seek (max() and min() over an index prefix
        // are one in SQLite), instead of a pass over the runs' rows.
        const std::string of = "from testresults where platform = ?1 and project = ?2";
        SqliteStatement query(
            db_,
            "with recursive dates(date) as (select max(date) " + of +
                " union all select (select max(date) " + of +
                " and date < dates.date) from dates where date is not null), stamps(date, time) "
                "as (select date, (select max(time) " +
                of +
                " and date = dates.date) from dates where date is not null union all select "
                "date, (select max(time) " +
                of +
                " and date = stamps.date and time < stamps.time) from stamps where time is "
                "not null), runs(date, time, githash) as (select date, time, (select "
                "min(githash) " +
                of +
                " and date = stamps.date and time = stamps.time) from stamps where time is "
                "not null union all select date, time, (select min(githash) " +
                of +
                " and date = runs.date and time = runs.time and githash > runs.githash) from "
                "runs where githash is not null) select ?1, ?2, githash, date, time from runs "
                "where githash is not null order by date desc, time desc, githash",
            "list the runs");
        query.bind(1, platform).bind(2, project);
        while (query.step()) {
            keys.push_back(runAt(query, 0));
        }
        return keys;
    }

  public:
    std::vector<FileRow> files(const RunKey& run, const std::string& branch) override {
        SqliteStatement query(
            db_,
            "select filename, " + counterList(false) +
                " from testresults where date = ?4 and time = ?5 and platform = ?1 "
                "and project = ?2 and githash = ?3 order by filename",
            "read the files of a run");
        query.bindRun(run);
        std::vector<FileRow> rows = rowsOf(query);
        if (!rows.empty() || !hasFindingTables(db_)) {
            return rows;
        }
        // A run that only its SARIF log recorded: its findings counted per file.
        SqliteSession session(db_);
        return loggedFiles(session, run, branch);
    }

    std::vector<std::vector<std::int64_t>>
    fileTrends(const std::vector<RunTotals>& runs,
               const std::vector<std::string>& filenames) override {
        SqliteSession session(db_);
        return history::fileTrends(session, runs, filenames);
    }

  private:
    static std::vector<FileRow> rowsOf(SqliteStatement& query) {
        std::vector<FileRow> rows;
        while (query.step()) {
            FileRow row{query.text(0), {}};
            for (std::size_t column = 0; column < counterColumns.size(); ++column) {
                row.counters[column] = query.number(1 + static_cast<int>(column));
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }

    /// A database in a folder this process may not write, with no journal or write-ahead
    /// log beside it, is whole in its file: it is read as a file that nothing changes (SQLite
    /// needs to make its shared-memory file for a database in WAL mode). Where a journal or
    /// log is left by a writer that stopped mid-way, reading needs a recovery that a
    /// read-only open cannot make, and the error says so.
    bool hasResultsTableUnchangeable(const std::string& path, int busyMilliseconds) {
        std::error_code error;
        for (const char* companion : {"-journal", "-wal"}) {
            if (std::filesystem::exists(path + companion, error)) {
                throw StoreError(
                    "the database " + path + " was left mid-write (" + path + companion +
                    "), and reading it needs a recovery that a read-only open cannot make: "
                    "open it once with write access to it and its folder (any vendrik-history "
                    "load, or sqlite3 with 'pragma quick_check'), or copy the database with " +
                    path + companion + " into a writable folder and read the copy");
            }
        }
        std::string uri = "file:";
        for (const char c : std::filesystem::absolute(path, error).string()) {
            const auto byte = static_cast<unsigned char>(c);
            if (std::isalnum(byte) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
                uri += c;
            } else {
                uri += '%';
                uri += "0123456789ABCDEF"[byte >> 4];
                uri += "0123456789ABCDEF"[byte & 0xF];
            }
        }
        sqlite3_close(db_.handle);
        db_.handle = nullptr;
        openDatabase(db_, path, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, busyMilliseconds,
                     uri + "?immutable=1");
        return hasResultsTable(db_);
    }

    std::string path_;
    int busyMilliseconds_;
    SqliteDatabase db_;
};

} // namespace

std::unique_ptr<HistoryStore> openSqliteStore(const std::string& path, StoreAccess access,
                                              int busyMilliseconds) {
    return std::make_unique<SqliteStore>(path, access, busyMilliseconds);
}

} // namespace vendrik::history
