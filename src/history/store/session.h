#pragma once

#include "history/store/store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vendrik::history {

/// A parameter of a statement: NULL, an integer or text.
using SqlValue = std::variant<std::nullptr_t, std::int64_t, std::string>;

/// A row of a query: each column as text, nothing for NULL.
using SqlRow = std::vector<std::optional<std::string>>;

/// One connection that the findings' history runs its statements on, within the caller's
/// transaction: SQLite's or PostgreSQL's. The statements are written in the SQL both take,
/// with ?1, ?2, ... for the parameters; the temporary tables they make are named without a
/// schema. Every method throws StoreError when the database fails.
class SqlSession {
  public:
    virtual ~SqlSession() = default;

    /// Runs `sql`, which returns no rows.
    virtual void execute(const std::string& sql, const std::vector<SqlValue>& values = {}) = 0;

    /// Runs `sql` and returns its rows.
    virtual std::vector<SqlRow> query(const std::string& sql,
                                      const std::vector<SqlValue>& values = {}) = 0;

    /// Makes the temporary table staged (fingerprint unique, file, line, number, priority,
    /// his, text, reference, before, after) and fills it with `findings`; throws StoreError
    /// "refused: two findings of the log share the fingerprint F" when two do.
    virtual void stageFindings(const std::vector<TrackedFinding>& findings) = 0;
};

} // namespace vendrik::history
