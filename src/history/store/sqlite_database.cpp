#include "history/store/sqlite_database.h"

namespace vendrik::history {

void SqliteDatabase::fail(const std::string& doing) const {
    const int code = sqlite3_extended_errcode(handle) & 0xFF;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
        throw StoreError("the database " + path + " stayed locked while " + doing);
    }
    if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT) {
        throw StoreError(path + " is not a SQLite database (or is damaged)");
    }
    throw StoreError("could not " + doing + " in " + path + ": " + sqlite3_errmsg(handle));
}

void executeSqlite(const SqliteDatabase& db, const char* sql, const std::string& doing) {
    queryMade();
    if (sqlite3_exec(db.handle, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        db.fail(doing);
    }
}

void openDatabase(SqliteDatabase& db, const std::string& path, int flags, int busyMilliseconds,
                  const std::string& name) {
    db.path = path;
    if (sqlite3_open_v2((name.empty() ? path : name).c_str(), &db.handle, flags, nullptr) !=
        SQLITE_OK) {
        throw StoreError("could not open the database " + path + ": " +
                         (db.handle ? sqlite3_errmsg(db.handle) : "out of memory"));
    }
    sqlite3_busy_timeout(db.handle, busyMilliseconds);
}

namespace {

/// `sql` prepared with `values` bound to ?1, ?2, ...
void bindAll(SqliteStatement& statement, const std::vector<SqlValue>& values) {
    const int parameters = sqlite3_bind_parameter_count(statement.handle());
    for (int at = 0; at < static_cast<int>(values.size()) && at < parameters; ++at) {
        const SqlValue& value = values[static_cast<std::size_t>(at)];
        if (const auto* text = std::get_if<std::string>(&value)) {
            statement.bind(at + 1, *text);
        } else if (const auto* number = std::get_if<std::int64_t>(&value)) {
            sqlite3_bind_int64(statement.handle(), at + 1, *number);
        }
    }
}

} // namespace

void SqliteSession::execute(const std::string& sql, const std::vector<SqlValue>& values) {
    SqliteStatement statement(db_, sql, "store the findings");
    bindAll(statement, values);
    while (statement.step()) {
    }
}

void SqliteSession::forEachRow(const std::string& sql, const std::vector<SqlValue>& values,
                               const std::function<void(const SqlCursor& row)>& row) {
    /// A row of the statement, read in place.
    class Cursor : public SqlCursor {
      public:
        explicit Cursor(SqliteStatement& statement) : statement_(statement) {}
        int columns() const override { return sqlite3_column_count(statement_.handle()); }
        bool isNull(int column) const override {
            return sqlite3_column_type(statement_.handle(), column) == SQLITE_NULL;
        }
        std::string text(int column) const override { return statement_.text(column); }
        std::int64_t number(int column) const override { return statement_.number(column); }

      private:
        SqliteStatement& statement_;
    };
    SqliteStatement statement(db_, sql, "read the database");
    bindAll(statement, values);
    const Cursor cursor(statement);
    while (statement.step()) {
        row(cursor);
    }
}

std::string SqliteSession::inList(const std::string& column, const std::vector<std::string>& texts,
                                  std::vector<SqlValue>& values) const {
    std::string sql = column + " in (";
    for (const std::string& text : texts) {
        values.emplace_back(text);
        sql += (sql.back() == '(' ? "?" : ", ?") + std::to_string(values.size());
    }
    return sql + ")";
}

void SqliteSession::stageFindings(const std::vector<TrackedFinding>& findings) {
    vendrik::history::executeSqlite(
        db_,
        "create temp table staged (fingerprint text unique, file text, line "
        "integer, number integer, priority integer, his integer, text text, "
        "reference text, origin text, before integer, after text)",
        "stage the findings");
    SqliteStatement insert(
        db_,
        "insert into staged (fingerprint, file, line, number, priority, his, text, "
        "reference) values (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
        "stage the findings");
    for (const TrackedFinding& finding : findings) {
        insert.reset().bind(1, finding.fingerprint).bind(2, finding.file);
        sqlite3_bind_int64(insert.handle(), 3, finding.line);
        sqlite3_bind_int64(insert.handle(), 4, finding.number);
        sqlite3_bind_int64(insert.handle(), 5, finding.priority);
        sqlite3_bind_int(insert.handle(), 6, finding.his ? 1 : 0);
        insert.bind(7, finding.text).bind(8, finding.reference);
        if (sqlite3_step(insert.handle()) != SQLITE_DONE) {
            if ((sqlite3_extended_errcode(db_.handle) & 0xFF) == SQLITE_CONSTRAINT) {
                throw StoreError("refused: two findings of the log share the fingerprint " +
                                 finding.fingerprint);
            }
            db_.fail("stage the findings");
        }
    }
}

} // namespace vendrik::history
