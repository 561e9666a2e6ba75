#pragma once

#include "history/store/pg_connection.h"
#include "history/store/session.h"
#include "history/store/sql_store.h"

namespace vendrik::history {

/// The statements of the findings' history on a PostgreSQL connection: ?N becomes $N, and
/// the findings are staged with one statement.
class PgSession : public SqlSession {
  public:
    explicit PgSession(PgConnection& connection) : connection_(connection) {}
    void execute(const std::string& sql, const std::vector<SqlValue>& values = {}) override;
    void forEachRow(const std::string& sql, const std::vector<SqlValue>& values,
                    const std::function<void(const SqlCursor& row)>& row) override;
    /// "column = any(cast(?N as text[]))", the texts as one array literal.
    std::string inList(const std::string& column, const std::vector<std::string>& texts,
                       std::vector<SqlValue>& values) const override;
    void stageFindings(const std::vector<TrackedFinding>& findings) override;
    /// Nothing: the server's planner chooses by its statistics.
    std::string readBy(const std::string&) const override { return {}; }

  private:
    PgConnection& connection_;
};

/// Creates the results table, the program's tables and the run totals' triggers on the server
/// when missing, safely when several loads start at once; when all are there, it only looks
/// (a role that may not create tables can load). Where the triggers were missing, the totals
/// are summed up anew. Text sorts and compares by bytes (collation "C"), as
/// in SQLite.
void createPgTables(PgConnection& connection);

/// True when the server has the results table.
bool hasResultsTable(PgConnection& connection);

/// What the server holds beside the results table.
StoreShape pgShape(PgConnection& connection);

} // namespace vendrik::history
