#pragma once

#include "history/store/store.h"

#include <memory>
#include <string>

namespace vendrik::history {

/// The history in a SQLite results database (the converter's table testresults). To read, it
/// is opened read-only: nothing but a load or a gate's record changes it. Waits up to
/// `busyMilliseconds` for a lock. Throws StoreError, when opened to read, when the file is
/// missing, is not a SQLite database, or has no table testresults.
std::unique_ptr<HistoryStore> openSqliteStore(const std::string& path, StoreAccess access,
                                              int busyMilliseconds = 5000);

} // namespace vendrik::history
