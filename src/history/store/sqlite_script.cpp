#include "history/store/sqlite_script.h"

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
void runScript(const SqliteDatabase& db, const std::string& script) {
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

} // namespace

void stageScript(SqliteDatabase& db, const std::string& path, const std::string& script,
                 int busyMilliseconds) {
    openDatabase(db, path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busyMilliseconds);
    executeSqlite(db, "begin immediate", "start a transaction");
    // The script's rows land in a table of this connection's own, which its inserts name
    // before the database's: they are checked against the table before any is added.
    const std::string staging =
        "create temp table" +
        std::string(sqlSchemaStatement.substr(sqlSchemaStatement.find(" testresults")));
    executeSqlite(db, staging.c_str(), "prepare the load");
    runScript(db, script); // a failure closes the connection, which rolls back
}

} // namespace vendrik::history
