#pragma once

#include "history/store/store.h"

#include <memory>
#include <string>

namespace vendrik::history {

/// The history on a PostgreSQL server (`target`, see PgConnection). To read, it is read in
/// one read-only transaction that sees the database as it was at its first query: a role
/// that may only select can read it, and no writer waits for it. Throws StoreError, when
/// opened to read, when the server cannot be reached or has no table testresults.
std::unique_ptr<HistoryStore> openPgStore(const std::string& target, StoreAccess access);

} // namespace vendrik::history
