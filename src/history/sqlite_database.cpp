#include "history/sqlite_database.h"

namespace vendrik::history {

void Database::fail(const std::string& doing) const {
    const int code = sqlite3_extended_errcode(handle) & 0xFF;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
        throw StoreError("the database " + path + " stayed locked while " + doing);
    }
    if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT) {
        throw StoreError(path + " is not a SQLite database (or is damaged)");
    }
    throw StoreError("could not " + doing + " in " + path + ": " + sqlite3_errmsg(handle));
}

namespace {
std::size_t queries = 0;
} // namespace

std::size_t queriesRun() {
    return queries;
}

void countQuery() {
    ++queries;
}

void execute(const Database& db, const char* sql, const std::string& doing) {
    countQuery();
    if (sqlite3_exec(db.handle, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        db.fail(doing);
    }
}

void openDatabase(Database& db, const std::string& path, int flags, int busyMilliseconds,
                  const std::string& name) {
    db.path = path;
    if (sqlite3_open_v2((name.empty() ? path : name).c_str(), &db.handle, flags, nullptr) !=
        SQLITE_OK) {
        throw StoreError("could not open the database " + path + ": " +
                         (db.handle ? sqlite3_errmsg(db.handle) : "out of memory"));
    }
    sqlite3_busy_timeout(db.handle, busyMilliseconds);
}

RunKey runAt(const Statement& row, int first) {
    return {row.text(first), row.text(first + 1), row.text(first + 2), row.text(first + 3),
            row.text(first + 4)};
}

std::string counterList(bool summed) {
    std::string list;
    for (const std::string_view column : counterColumns) {
        list += list.empty() ? "" : ", ";
        list += summed ? "sum(" + std::string(column) + ")" : std::string(column);
    }
    return list;
}

} // namespace vendrik::history
