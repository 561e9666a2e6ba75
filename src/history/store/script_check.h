#pragma once

#include "history/store/store.h"

#include <string>
#include <vector>

namespace vendrik::history {

/// The rows of the converter's SQL `script`, checked by running it in a SQLite database held
/// in memory, as a SQLite file's load runs it (see stageScript), whichever backend stores them:
/// each row's columns as the results table orders them (platform, project, tool, githash, date,
/// time, filename, the counters), as text.
std::vector<std::vector<std::string>> scriptRows(const std::string& script);

/// Throws StoreError: the run `loaded` has a row for `filename` at its date and time, where
/// the run `stored` has one.
[[noreturn]] void refuseCollision(const RunKey& loaded, const RunKey& stored,
                                  const std::string& filename);

} // namespace vendrik::history
