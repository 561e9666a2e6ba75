#pragma once

#include "history/history_store.h"

#include <memory>
#include <string>

namespace vendrik::history {

/// The history in a SQLite results database (the converter's table testresults), opened
/// read-only: nothing here changes the database. Waits up to `busyMilliseconds` for a lock.
/// Throws StoreError when the file is missing, is not a SQLite database, or has no table
/// testresults.
std::unique_ptr<HistoryStore> openSqliteStore(const std::string& path, int busyMilliseconds = 5000);

/// What loading one script did.
struct LoadResult {
    std::int64_t rowsAdded = 0;
    std::vector<RunKey> runsPresent; ///< runs whose rows the table holds already: nothing added
};

/// Loads a converter SQL script into the database at `path` (created when missing) in one
/// transaction: all its rows or none. Only the create statement of testresults and inserts
/// into it may run; any other statement is refused, and StoreError says which. When a row
/// breaks the table's UNIQUE constraint, its run is already present: the script adds nothing,
/// and the result names the run.
LoadResult loadScript(const std::string& path, const std::string& script,
                      int busyMilliseconds = 5000);

} // namespace vendrik::history
