#include "history/store/script_load.h"

#include "history/store/finding_history.h"
#include "history/store/run_totals.h"
#include "history/store/sqlite_database.h"
#include "output/sql_script.h"

#include <string_view>

namespace vendrik::history {

namespace {

/// Lets a script create the results table and insert rows into the staging table, and
/// nothing else. The arguments are the action's two names (a table, an index or a
/// function), the database ("main", "temp") and the trigger or view.
int authorizeScript(void*, int action, const char* first, const char* second, const char* database,
                    const char*) {
    // Names as SQLite takes them: without regard to case.
    const auto is = [](const char* name, const char* wanted) {
        return name != nullptr && sqlite3_stricmp(name, wanted) == 0;
    };
    const bool schema = is(first, "sqlite_master") || is(first, "sqlite_temp_master");
    switch (action) {
    case SQLITE_CREATE_TABLE:
        return is(first, "testresults") && is(database, "main") ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_CREATE_INDEX: // the table's UNIQUE constraint
        return first && sqlite3_strnicmp(first, "sqlite_autoindex_testresults_", 29) == 0 &&
                       is(second, "testresults") && is(database, "main")
                   ? SQLITE_OK
                   : SQLITE_DENY;
    case SQLITE_INSERT:
        return (is(first, "testresults") && is(database, "temp")) ||
                       (is(first, "sqlite_master") && is(database, "main"))
                   ? SQLITE_OK
                   : SQLITE_DENY;
    case SQLITE_UPDATE:
        return schema ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_READ: // the create's UNIQUE index reads the new table; a select is refused
        return schema || is(first, "testresults") ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_FUNCTION: // NUL bytes in values: char(0)
        return is(second, "char") ? SQLITE_OK : SQLITE_DENY;
    default:
        return SQLITE_DENY;
    }
}

/// `statement` in lower case, with its runs of white space made one blank and the blanks
/// next to punctuation left out: "CREATE  TABLE x (a,b)" and "create table x(a, b)" are one.
std::string normalised(std::string_view statement) {
    std::string text;
    const auto punctuation = [](char c) { return c == '(' || c == ')' || c == ',' || c == ';'; };
    bool blank = false;
    for (const char c : statement) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            blank = true;
            continue;
        }
        if (blank && !text.empty() && !punctuation(c) && !punctuation(text.back())) {
            text += ' ';
        }
        blank = false;
        text += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return text;
}

/// `statement` without the white space around it and its closing semicolon.
std::string_view trimmed(std::string_view statement) {
    const std::size_t start = statement.find_first_not_of(" \t\r\n");
    statement.remove_prefix(std::min(start, statement.size()));
    return statement.substr(0, statement.find_last_not_of(" \t\r\n;") + 1);
}

std::string shortened(std::string_view statement) {
    statement = trimmed(statement);
    return std::string(statement.substr(0, 80)) + (statement.size() > 80 ? "..." : "");
}

/// Runs the statements of `script` under the authorizer, each checked to be the converter's.
void runScript(const Database& db, const std::string& script) {
    sqlite3_set_authorizer(db.handle, authorizeScript, nullptr);
    const std::string create = normalised(sqlSchemaStatement);
    const std::string insert = normalised(sqlInsertHead);
    const char* next = script.c_str();
    while (*next != '\0') {
        sqlite3_stmt* statement = nullptr;
        const char* rest = nullptr;
        const int prepared = sqlite3_prepare_v2(db.handle, next, -1, &statement, &rest);
        const std::string_view text =
            prepared == SQLITE_OK && rest != nullptr
                ? std::string_view(next, static_cast<std::size_t>(rest - next))
                : std::string_view(next);
        next = prepared == SQLITE_OK && rest != nullptr ? rest : next + text.size();
        if (prepared == SQLITE_OK && statement == nullptr) {
            continue; // white space or a comment after the last statement
        }
        const std::string shape = normalised(text);
        if (!sqlite3_complete(std::string(text).c_str())) {
            sqlite3_finalize(statement);
            throw StoreError("the script ends inside a statement (was it cut short?): " +
                             shortened(text));
        }
        if (prepared != SQLITE_OK || (shape != create && !shape.starts_with(insert))) {
            sqlite3_finalize(statement);
            throw StoreError("refused a statement that is not the table's create or an insert "
                             "into testresults: " +
                             shortened(text));
        }
        const int stepped = sqlite3_step(statement);
        sqlite3_finalize(statement);
        if (stepped != SQLITE_DONE) {
            db.fail("run the script");
        }
    }
    sqlite3_set_authorizer(db.handle, nullptr, nullptr);
}

/// The table keeps one row per date, time and file: a staged row that meets another run's row
/// cannot be added, and the load is refused, naming both runs.
void refuseCollisions(const Database& db) {
    Statement collision(db,
                        "select n.platform, n.project, n.githash, n.date, n.time, o.platform, "
                        "o.project, o.githash, o.date, o.time, n.filename from "
                        "temp.testresults n join main.testresults o on o.date = n.date and "
                        "o.time = n.time and o.filename = n.filename where o.platform is not "
                        "n.platform or o.project is not n.project or o.githash is not "
                        "n.githash limit 1",
                        "compare the script with the table");
    if (collision.step()) {
        refuseCollision(runAt(collision, 0), runAt(collision, 5), collision.text(10));
    }
}

/// The staged runs that the table holds already.
std::vector<RunKey> runsPresent(const Database& db) {
    std::vector<RunKey> runs;
    Statement present(db,
                      "select distinct n.platform, n.project, n.githash, n.date, n.time from "
                      "temp.testresults n join main.testresults o on o.date = n.date and "
                      "o.time = n.time and o.filename = n.filename",
                      "compare the script with the table");
    while (present.step()) {
        runs.push_back(runAt(present, 0));
    }
    return runs;
}

/// A connection to a new database that `script` has run on: its rows in temp.testresults.
void stageScript(Database& db, const std::string& path, const std::string& script,
                 int busyMilliseconds) {
    openDatabase(db, path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busyMilliseconds);
    execute(db, "begin immediate", "start a transaction");
    // The script's rows land in a table of this connection's own, which its inserts name
    // before the database's: they are checked against the table before any is added.
    const std::string staging =
        "create temp table" +
        std::string(sqlSchemaStatement.substr(sqlSchemaStatement.find(" testresults")));
    execute(db, staging.c_str(), "prepare the load");
    runScript(db, script); // a failure closes the connection, which rolls back
}

} // namespace

void refuseCollision(const RunKey& loaded, const RunKey& stored, const std::string& filename) {
    throw StoreError("refused: the run " + loaded.githash + " of " + loaded.platform + " / " +
                     loaded.project + " has a row for " + filename + " at " + loaded.date + " " +
                     loaded.time + ", where the run " + stored.githash + " of " + stored.platform +
                     " / " + stored.project +
                     " has one; the table keeps one row per date, time and file "
                     "(convert the run again, in another second)");
}

std::vector<std::vector<std::string>> scriptRows(const std::string& script) {
    Database db;
    stageScript(db, ":memory:", script, 0);
    Statement rows(db, "select * from temp.testresults", "read the script's rows");
    std::vector<std::vector<std::string>> found;
    while (rows.step()) {
        auto& row = found.emplace_back();
        for (int column = 0; column < sqlite3_column_count(rows.handle()); ++column) {
            row.push_back(rows.text(column));
        }
    }
    return found;
}

LoadResult loadScript(const std::string& path, const std::string& script, const std::string& branch,
                      int busyMilliseconds) {
    Database db;
    stageScript(db, path, script, busyMilliseconds);
    refuseCollisions(db);
    createFindingTables(db);
    SqliteSession session(db);
    checkScriptRuns(session, "temp.testresults", branch);
    LoadResult result;
    result.runsPresent = runsPresent(db);
    if (!result.runsPresent.empty()) {
        return result; // closing rolls back
    }
    const bool totalsCurrent = runTotalsCurrent(db);
    execute(db, "insert into main.testresults select * from temp.testresults", "add the rows");
    result.rowsAdded = sqlite3_changes64(db.handle);
    keepRunTotals(db, totalsCurrent);
    recordScriptRuns(session, "temp.testresults", branch);
    execute(db, "drop table temp.testresults", "finish the load");
    // The program's own index: the runs of a platform and project, newest first, without
    // reading the table's rows. The first load into a large table builds it once.
    execute(db,
            "create index if not exists vendrik_history_runs on testresults (platform, "
            "project, date, time, githash)",
            "index the runs");
    execute(db, "commit", "commit the load");
    return result;
}

LoadResult loadLog(const std::string& path, std::string_view log,
                   const std::optional<std::string>& branch, int busyMilliseconds) {
    const LoggedRun logged = readSarifLog(log); // refused before the database is touched
    Database db;
    openDatabase(db, path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busyMilliseconds);
    execute(db, "begin immediate", "start a transaction");
    // The results table, empty, where the log comes first: the reading commands need it.
    execute(db, std::string(sqlSchemaStatement).c_str(), "create the results table");
    LoadResult result;
    createFindingTables(db);
    SqliteSession session(db);
    if (!storeLoggedRun(session, logged, branch.value_or(logged.branch))) {
        result.runsPresent.push_back(logged.run);
        return result; // closing rolls back
    }
    result.rowsAdded = static_cast<std::int64_t>(logged.findings.size());
    execute(db, "commit", "commit the load");
    return result;
}

void recordGate(const std::string& path, const RunKey& run, const std::string& branch, bool passed,
                int busyMilliseconds) {
    Database db;
    openDatabase(db, path, SQLITE_OPEN_READWRITE, busyMilliseconds);
    execute(db, "begin immediate", "start a transaction");
    createFindingTables(db);
    SqliteSession session(db);
    recordGateOutcome(session, run, branch, passed);
    execute(db, "commit", "record the gate's outcome");
}

} // namespace vendrik::history
