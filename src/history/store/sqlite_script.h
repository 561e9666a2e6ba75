#pragma once

#include "history/store/sqlite_database.h"

#include <string>

namespace vendrik::history {

// The converter's SQL script, checked by running it in SQLite, whichever backend stores its
// rows: exactly what the converter writes may run, its create statement of testresults
// (compared with case and white space made even, nothing in comments) and its inserts, with
// their column list, into a staging table, with char(0) and || inside values. Anything else
// is refused, and StoreError says which; so is a script cut inside a statement.

/// Opens the database at `path` (created when missing), starts a write transaction, and runs
/// `script` into temp.testresults, a staging table of the connection that the script's
/// inserts name before the database's.
void stageScript(SqliteDatabase& db, const std::string& path, const std::string& script,
                 int busyMilliseconds);

} // namespace vendrik::history
