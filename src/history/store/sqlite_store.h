#pragma once

#include "history/store/store.h"

#include <memory>
#include <string>

namespace vendrik::history {

/// The history in a SQLite results database (the converter's table testresults), opened
/// read-only: nothing here changes the database. Waits up to `busyMilliseconds` for a lock.
/// Throws StoreError when the file is missing, is not a SQLite database, or has no table
/// testresults.
std::unique_ptr<HistoryStore> openSqliteStore(const std::string& path, int busyMilliseconds = 5000);

} // namespace vendrik::history
