#pragma once

#include "history/store/session.h"

#include <string>
#include <vector>

namespace vendrik::history {

// The statements of loading a converter script whose rows are staged, written once for both
// backends: `staged` names the staging table, `table` the results table beside it (SQLite's
// staging table shadows its name).

/// Throws StoreError, naming both runs, when a staged row meets another run's row: the table
/// keeps one row per date, time and file, so the row cannot be added.
void refuseCollisions(SqlSession& session, const std::string& staged, const std::string& table);

/// The staged runs whose rows the table holds already, by date, time, platform, project and
/// hash.
std::vector<RunKey> runsPresent(SqlSession& session, const std::string& staged,
                                const std::string& table);

} // namespace vendrik::history
