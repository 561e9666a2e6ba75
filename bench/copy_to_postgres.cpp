// Copies a results database that generate_history wrote (SQLite) to a PostgreSQL database,
// its tables made as load makes them: testresults, the run totals, the runs' facts and the
// findings' spans, each with one COPY. For timing vendrik-history on a server.
//   copy_to_postgres SQLITE_DATABASE POSTGRESQL_TARGET

#include "history/store/pg_connection.h"
#include "history/store/pg_session.h"
#include "history/store/sqlite_database.h"

#include <cstdio>

namespace {

using namespace vendrik::history;

/// `value` as COPY's text format writes it.
void appendField(std::string& line, const char* value, int length) {
    if (value == nullptr) {
        line += "\\N";
        return;
    }
    for (int at = 0; at < length; ++at) {
        const char c = value[at];
        if (c == '\\' || c == '\t' || c == '\n' || c == '\r') {
            line += '\\';
            line += c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : '\\';
        } else {
            line += c;
        }
    }
}

void copyTable(const SqliteDatabase& from, PGconn* raw, const std::string& table) {
    SqliteStatement rows(from, "select * from " + table, "read " + table);
    PGresult* started = PQexec(raw, ("copy " + table + " from stdin").c_str());
    const bool copying = PQresultStatus(started) == PGRES_COPY_IN;
    PQclear(started);
    if (!copying) {
        throw StoreError("could not start the copy of " + table + ": " + PQerrorMessage(raw));
    }
    std::string chunk;
    while (rows.step()) {
        for (int column = 0; column < sqlite3_column_count(rows.handle()); ++column) {
            chunk += column ? "\t" : "";
            appendField(chunk,
                        reinterpret_cast<const char*>(sqlite3_column_text(rows.handle(), column)),
                        sqlite3_column_bytes(rows.handle(), column));
        }
        chunk += '\n';
        if (chunk.size() > (1 << 20)) {
            PQputCopyData(raw, chunk.data(), static_cast<int>(chunk.size()));
            chunk.clear();
        }
    }
    PQputCopyData(raw, chunk.data(), static_cast<int>(chunk.size()));
    if (PQputCopyEnd(raw, nullptr) != 1) {
        throw StoreError("could not end the copy of " + table);
    }
    PGresult* result = PQgetResult(raw);
    const bool copied = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
    if (!copied) {
        throw StoreError("could not copy " + table + ": " + PQerrorMessage(raw));
    }
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: copy_to_postgres SQLITE_DATABASE POSTGRESQL_TARGET\n");
        return 2;
    }
    try {
        SqliteDatabase from;
        openDatabase(from, argv[1], SQLITE_OPEN_READONLY, 1000);
        PgConnection to(argv[2]);
        createPgTables(to);
        PGconn* raw = PQconnectdb(argv[2]);
        // The run totals are the server's own: its triggers sum the copied rows up.
        for (const char* table :
             {"testresults", "vendrik_history_run_facts", "vendrik_history_findings"}) {
            copyTable(from, raw, table);
        }
        PQfinish(raw);
        to.run("analyze", "analyze");
    } catch (const StoreError& error) {
        std::fprintf(stderr, "copy_to_postgres: %s\n", error.what());
        return 1;
    }
    return 0;
}
