#include "history/store/sqlite_load.h"

#include "history/store/decisions.h"
#include "history/store/finding_history.h"
#include "history/store/script_check.h"
#include "history/store/script_runs.h"
#include "history/store/sqlite_database.h"
#include "history/store/sqlite_script.h"
#include "history/store/sqlite_tables.h"
#include "output/sql_script.h"

#include <functional>

#include <pwd.h>
#include <unistd.h>

namespace vendrik::history {

namespace {

/// The name of the user this process runs as, else $USER, else "unknown".
std::string operatingSystemUser() {
    if (const passwd* user = getpwuid(geteuid()); user != nullptr && user->pw_name != nullptr) {
        return user->pw_name;
    }
    const char* name = std::getenv("USER");
    return name != nullptr && *name != '\0' ? name : "unknown";
}

} // namespace

LoadResult loadScript(const std::string& path, const std::string& script, const std::string& branch,
                      int busyMilliseconds) {
    SqliteDatabase db;
    stageScript(db, path, script, busyMilliseconds);
    SqliteSession session(db);
    refuseCollisions(session, "temp.testresults", "main.testresults");
    createFindingTables(db);
    checkScriptRuns(session, "temp.testresults", branch);
    LoadResult result;
    result.runsPresent = runsPresent(session, "temp.testresults", "main.testresults");
    if (!result.runsPresent.empty()) {
        return result; // closing rolls back
    }
    keepRunTotals(db);
    executeSqlite(db, "insert into main.testresults select * from temp.testresults",
                  "add the rows");
    result.rowsAdded = sqlite3_changes64(db.handle);
    recordScriptRuns(session, "temp.testresults", branch);
    executeSqlite(db, "drop table temp.testresults", "finish the load");
    executeSqlite(db, "commit", "commit the load");
    return result;
}

LoadResult loadLog(const std::string& path, const LoggedRun& logged,
                   const std::optional<std::string>& branch, int busyMilliseconds) {
    SqliteDatabase db;
    openDatabase(db, path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busyMilliseconds);
    executeSqlite(db, "begin immediate", "start a transaction");
    // The results table, empty, where the log comes first: the reading commands need it.
    executeSqlite(db, std::string(sqlSchemaStatement).c_str(), "create the results table");
    keepRunTotals(db);
    LoadResult result;
    createFindingTables(db);
    SqliteSession session(db);
    if (!storeLoggedRun(session, logged, branch.value_or(logged.branch))) {
        result.runsPresent.push_back(logged.run);
        return result; // closing rolls back
    }
    result.rowsAdded = static_cast<std::int64_t>(logged.findings.size());
    executeSqlite(db, "commit", "commit the load");
    return result;
}

namespace {

/// Runs `record` on the program's tables of the file at `path`, in a transaction of its own.
void recordInFile(const std::string& path, int busyMilliseconds, const std::string& doing,
                  const std::function<void(SqliteSession&)>& record) {
    SqliteDatabase db;
    openDatabase(db, path, SQLITE_OPEN_READWRITE, busyMilliseconds);
    executeSqlite(db, "begin immediate", "start a transaction");
    createFindingTables(db);
    SqliteSession session(db);
    record(session);
    executeSqlite(db, "commit", doing);
}

} // namespace

void recordDecisions(const std::string& path, const std::vector<Decision>& decisions,
                     int busyMilliseconds) {
    recordInFile(path, busyMilliseconds, "record the decisions", [&](SqliteSession& session) {
        insertDecisions(session, decisions, operatingSystemUser());
    });
}

void recordGate(const std::string& path, const RunKey& run, const std::string& branch, bool passed,
                int busyMilliseconds) {
    recordInFile(path, busyMilliseconds, "record the gate's outcome",
                 [&](SqliteSession& session) { recordGateOutcome(session, run, branch, passed); });
}

} // namespace vendrik::history
