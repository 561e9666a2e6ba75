#pragma once

#include "history/store/store.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vendrik::history {

/// A parameter of a statement: NULL, an integer or text.
using SqlValue = std::variant<std::nullptr_t, std::int64_t, std::string>;

/// A row of a query: each column as text, nothing for NULL.
using SqlRow = std::vector<std::optional<std::string>>;

/// The run whose platform, project, hash, date and time are the columns of `row` from
/// `first` on.
RunKey runKeyOf(const SqlRow& row, std::size_t first = 0);

/// A row of a query's result as it is read: its columns, from 0.
class SqlCursor {
  public:
    virtual ~SqlCursor() = default;
    virtual int columns() const = 0;
    virtual bool isNull(int column) const = 0;
    virtual std::string text(int column) const = 0;    ///< "" for NULL
    virtual std::int64_t number(int column) const = 0; ///< 0 for NULL or a text
};

/// The run in the columns of `row` from `first` on, as runKeyOf(SqlRow) reads it.
RunKey runKeyOf(const SqlCursor& row, int first = 0);

/// The file name in column 0 of `row` and its counters in the columns after it.
FileRow fileRowOf(const SqlCursor& row);

/// One connection that the store's shared statements run on, within the caller's
/// transaction: SQLite's or PostgreSQL's. The statements are written in the SQL both take,
/// with ?1, ?2, ... for the parameters; the temporary tables they make are named without a
/// schema. Every method throws StoreError when the database fails.
class SqlSession {
  public:
    virtual ~SqlSession() = default;

    /// Runs `sql`, which returns no rows.
    virtual void execute(const std::string& sql, const std::vector<SqlValue>& values = {}) = 0;

    /// Runs `sql` and hands each row to `row` as it is read.
    virtual void forEachRow(const std::string& sql, const std::vector<SqlValue>& values,
                            const std::function<void(const SqlCursor& row)>& row) = 0;

    /// Runs `sql` and returns its rows.
    std::vector<SqlRow> query(const std::string& sql, const std::vector<SqlValue>& values = {});

    /// The condition that `column` is one of `texts`, whose values are appended to `values`
    /// for the parameters from ?N on, N being the size of `values` plus one.
    virtual std::string inList(const std::string& column, const std::vector<std::string>& texts,
                               std::vector<SqlValue>& values) const = 0;

    /// What follows a table's name in a join to have it read by `index`: SQLite's planner,
    /// without statistics, prefers a covering primary key that it can only scan.
    virtual std::string readBy(const std::string& index) const = 0;

    /// Makes the temporary table staged (fingerprint unique, file, line, number, priority,
    /// his, text, reference, origin, before, after) and fills it with `findings`, their
    /// origins, before and after NULL; throws StoreError "refused: two findings of the log
    /// share the fingerprint F" when two do.
    virtual void stageFindings(const std::vector<TrackedFinding>& findings) = 0;
};

} // namespace vendrik::history
