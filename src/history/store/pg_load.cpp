#include "history/store/pg_load.h"

#include "history/store/decisions.h"
#include "history/store/finding_history.h"
#include "history/store/pg_session.h"
#include "history/store/script_check.h"
#include "history/store/script_runs.h"

#include <set>

namespace vendrik::history {

namespace {

/// A transaction on the server that rolls back unless committed.
class ServerTransaction {
  public:
    explicit ServerTransaction(PgConnection& connection) : connection_(connection) {
        connection_.run("begin", "start a transaction");
    }
    ServerTransaction(const ServerTransaction&) = delete;
    ServerTransaction& operator=(const ServerTransaction&) = delete;
    ~ServerTransaction() {
        if (!done_) {
            try {
                connection_.run("rollback", "roll back");
            } catch (const StoreError&) {
                // the connection closes with the object, which rolls back too
            }
        }
    }
    /// Waits for the other writers of each of `series` (platform and project), in one order.
    void lock(const std::set<std::pair<std::string, std::string>>& series) {
        for (const auto& [platform, project] : series) {
            connection_.run("select pg_advisory_xact_lock(hashtextextended($1 || chr(31) || $2, "
                            "0))",
                            {platform, project}, "wait for the other loads");
        }
    }
    void commit() {
        connection_.run("commit", "commit the load");
        done_ = true;
    }

  private:
    PgConnection& connection_;
    bool done_ = false;
};

/// The values of column `column` of `rows` as a PostgreSQL array literal.
std::string arrayOf(const std::vector<std::vector<std::string>>& rows, std::size_t column) {
    std::vector<std::string> values;
    for (const auto& row : rows) {
        values.push_back(row[column]);
    }
    return arrayLiteral(values);
}

/// A failure of the server on a value it cannot hold, in plain words.
[[noreturn]] void refuseValue(const PgError& error) {
    if (error.code == "22021" || error.code == "22P05") {
        throw StoreError("refused: a name or text holds bytes that the server's text cannot "
                         "hold (" +
                         std::string(error.what()) + ")");
    }
    throw;
}

} // namespace

LoadResult loadScriptToServer(const std::string& target, const std::string& script,
                              const std::string& branch) {
    const auto rows = scriptRows(script); // refused before the server is touched
    PgConnection connection(target);
    createPgTables(connection);
    ServerTransaction transaction(connection);
    std::set<std::pair<std::string, std::string>> series;
    for (const auto& row : rows) {
        series.emplace(row[0], row[1]);
    }
    try {
        transaction.lock(series);
    } catch (const PgError& error) {
        refuseValue(error);
    }
    connection.run("create temp table staged_results (like testresults) on commit drop",
                   "prepare the load");
    std::string types;
    std::vector<std::optional<std::string>> columns;
    for (std::size_t column = 0; column < 7 + counterColumns.size(); ++column) {
        types += (column ? ", $" : "$") + std::to_string(column + 1) +
                 (column < 7 ? "::text[]" : "::bigint[]");
        columns.emplace_back(arrayOf(rows, column));
    }
    try {
        connection.run("insert into staged_results select * from unnest(" + types + ")", columns,
                       "stage the rows");
    } catch (const PgError& error) {
        refuseValue(error);
    }
    // A temporary table has no statistics until analyzed: the planner then guesses thousands
    // of runs in it, and compiles the checks' joins for such a size (0.4 s).
    connection.run("analyze staged_results", "prepare the load");
    PgSession session(connection);
    refuseCollisions(session, "staged_results", "testresults");
    checkScriptRuns(session, "staged_results", branch);
    LoadResult result;
    result.runsPresent = runsPresent(session, "staged_results", "testresults");
    if (!result.runsPresent.empty()) {
        return result; // rolled back
    }
    result.rowsAdded = static_cast<std::int64_t>(rows.size());
    connection.run("insert into testresults select * from staged_results", "add the rows");
    recordScriptRuns(session, "staged_results", branch);
    transaction.commit();
    return result;
}

LoadResult loadLogToServer(const std::string& target, const LoggedRun& logged,
                           const std::optional<std::string>& branch) {
    PgConnection connection(target);
    createPgTables(connection);
    ServerTransaction transaction(connection);
    PgSession session(connection);
    LoadResult result;
    try {
        transaction.lock({{logged.run.platform, logged.run.project}});
        if (!storeLoggedRun(session, logged, branch.value_or(logged.branch))) {
            result.runsPresent.push_back(logged.run);
            return result; // rolled back
        }
    } catch (const PgError& error) {
        refuseValue(error);
    }
    result.rowsAdded = static_cast<std::int64_t>(logged.findings.size());
    transaction.commit();
    return result;
}

void recordDecisionsOnServer(const std::string& target, const std::vector<Decision>& decisions) {
    PgConnection connection(target);
    createPgTables(connection);
    ServerTransaction transaction(connection);
    PgSession session(connection);
    try {
        insertDecisions(session, decisions,
                        connection.run("select session_user", "name the user").text(0, 0));
    } catch (const PgError& error) {
        refuseValue(error);
    }
    transaction.commit();
}

void recordGateOnServer(const std::string& target, const RunKey& run, const std::string& branch,
                        bool passed) {
    PgConnection connection(target);
    createPgTables(connection);
    ServerTransaction transaction(connection);
    transaction.lock({{run.platform, run.project}});
    PgSession session(connection);
    recordGateOutcome(session, run, branch, passed);
    transaction.commit();
}

} // namespace vendrik::history
