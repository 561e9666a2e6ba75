#pragma once

#include "history/history_store.h"

#include <string>
#include <vector>

namespace vendrik::history {

/// What loading one script did.
struct LoadResult {
    std::int64_t rowsAdded = 0;
    std::vector<RunKey> runsPresent; ///< runs whose rows the table holds already: nothing added
};

/// Loads a converter SQL script into the database at `path` (created when missing) in one
/// transaction: all its rows or none. Exactly what the converter writes may run: its create
/// statement of testresults (compared with case and white space made even, nothing in
/// comments) and its inserts, with their column list, into a staging table, with char(0)
/// and || inside values. Anything else is refused, and StoreError says which; so is a script
/// cut inside a statement. When the staged rows are already in the table as the same run,
/// nothing is added and the result names the run; when one meets another run's row (the
/// table keeps one row per date, time and file), StoreError names both runs.
LoadResult loadScript(const std::string& path, const std::string& script,
                      int busyMilliseconds = 5000);

} // namespace vendrik::history
