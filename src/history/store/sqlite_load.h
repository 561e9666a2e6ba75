#pragma once

#include "history/store/store.h"

#include <optional>
#include <string>

namespace vendrik::history {

// load, gate --record and triage set on the SQLite file at `path`, each in one transaction, as
// HistoryStore's loadScript, loadLog, recordGate and recordDecisions say; the file is created when
// missing.

LoadResult loadScript(const std::string& path, const std::string& script,
                      const std::string& branch = {}, int busyMilliseconds = 5000);

LoadResult loadLog(const std::string& path, const LoggedRun& logged,
                   const std::optional<std::string>& branch, int busyMilliseconds = 5000);

void recordDecisions(const std::string& path, const std::vector<Decision>& decisions,
                     int busyMilliseconds = 5000);

void recordGate(const std::string& path, const RunKey& run, const std::string& branch, bool passed,
                int busyMilliseconds = 5000);

} // namespace vendrik::history
