#pragma once

#include "history/store/store.h"

#include <optional>
#include <string>
#include <string_view>
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
/// The script's runs are recorded on `branch` ('' for none); a run recorded on another
/// branch refuses the script.
LoadResult loadScript(const std::string& path, const std::string& script,
                      const std::string& branch = {}, int busyMilliseconds = 5000);

/// The rows of a converter SQL script, run and checked as loadScript runs it but in a
/// database held in memory: each row's columns as the results table orders them (platform,
/// project, tool, githash, date, time, filename, the counters), as text.
std::vector<std::vector<std::string>> scriptRows(const std::string& script);

/// Throws StoreError: the run `loaded` has a row for `filename` at its date and time, where
/// the run `stored` has one.
[[noreturn]] void refuseCollision(const RunKey& loaded, const RunKey& stored,
                                  const std::string& filename);

/// Loads a converter SARIF log (see readSarifLog) into the database at `path` (created when
/// missing) in one transaction: the run, on `branch` when given, else on the log's own
/// branch, and its findings (see storeLoggedRun). `rowsAdded` counts the findings; a run
/// whose findings are stored already adds nothing and is named in `runsPresent`.
LoadResult loadLog(const std::string& path, std::string_view log,
                   const std::optional<std::string>& branch, int busyMilliseconds = 5000);

/// Records the gate's outcome for `run` on `branch` in the database at `path`.
void recordGate(const std::string& path, const RunKey& run, const std::string& branch, bool passed,
                int busyMilliseconds = 5000);

} // namespace vendrik::history
