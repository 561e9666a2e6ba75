#pragma once

#include "history/store/session.h"
#include "history/store/store.h"

#include <sqlite3.h>

#include <string>
#include <string_view>

namespace vendrik::history {

/// A SQLite connection, closed with the object; a closed connection rolls back what it did
/// not commit. `fail` throws StoreError in plain words: locked, not a database, or SQLite's
/// own message.
struct SqliteDatabase {
    sqlite3* handle = nullptr;
    std::string path;
    SqliteDatabase() = default;
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;
    ~SqliteDatabase() { sqlite3_close(handle); }

    [[noreturn]] void fail(const std::string& doing) const;
};

/// A prepared statement that is finalised with the object.
class SqliteStatement {
  public:
    SqliteStatement(const SqliteDatabase& db, std::string_view sql, const std::string& doing)
        : db_(db) {
        if (sqlite3_prepare_v2(db.handle, sql.data(), static_cast<int>(sql.size()), &statement_,
                               nullptr) != SQLITE_OK) {
            db.fail(doing);
        }
        doing_ = doing;
    }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    ~SqliteStatement() { sqlite3_finalize(statement_); }

    SqliteStatement& reset() {
        sqlite3_reset(statement_);
        return *this;
    }
    SqliteStatement& bind(int index, const std::string& text) {
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    /// Binds `run` as ?1 to ?5: platform, project, githash, date, time.
    SqliteStatement& bindRun(const RunKey& run) {
        return bind(1, run.platform)
            .bind(2, run.project)
            .bind(3, run.githash)
            .bind(4, run.date)
            .bind(5, run.time);
    }
    /// True for a row, false at the end.
    bool step() {
        if (sqlite3_stmt_busy(statement_) == 0) {
            queryMade(); // a new execution
        }
        const int result = sqlite3_step(statement_);
        if (result != SQLITE_ROW && result != SQLITE_DONE) {
            db_.fail(doing_);
        }
        return result == SQLITE_ROW;
    }
    std::string text(int column) const {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
        return bytes
                   ? std::string(bytes,
                                 static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                   : std::string();
    }
    std::int64_t number(int column) const { return sqlite3_column_int64(statement_, column); }
    sqlite3_stmt* handle() const { return statement_; }

  private:
    const SqliteDatabase& db_;
    sqlite3_stmt* statement_ = nullptr;
    std::string doing_;
};

/// Runs `sql`, which returns no rows; throws StoreError, saying what it was `doing`.
void executeSqlite(const SqliteDatabase& db, const char* sql, const std::string& doing);

/// Opens the database at `path` (or at the URI `name` when given) with SQLite's `flags`,
/// waiting up to `busyMilliseconds` for a lock.
void openDatabase(SqliteDatabase& db, const std::string& path, int flags, int busyMilliseconds,
                  const std::string& name = {});

/// The statements of the findings' history on a SQLite connection.
class SqliteSession : public SqlSession {
  public:
    explicit SqliteSession(const SqliteDatabase& db) : db_(db) {}
    const SqliteDatabase& database() const { return db_; }
    void execute(const std::string& sql, const std::vector<SqlValue>& values = {}) override;
    void forEachRow(const std::string& sql, const std::vector<SqlValue>& values,
                    const std::function<void(const SqlCursor& row)>& row) override;
    /// "column in (?N, ?N+1, ...)", one parameter per text.
    std::string inList(const std::string& column, const std::vector<std::string>& texts,
                       std::vector<SqlValue>& values) const override;
    void stageFindings(const std::vector<TrackedFinding>& findings) override;
    /// " indexed by INDEX".
    std::string readBy(const std::string& index) const override { return " indexed by " + index; }

  private:
    const SqliteDatabase& db_;
};

} // namespace vendrik::history
