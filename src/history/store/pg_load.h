#pragma once

#include "history/store/store.h"

#include <optional>
#include <string>
#include <string_view>

namespace vendrik::history {

// load, gate --record and triage set on a PostgreSQL server (`target`, see PgConnection),
// each in one transaction, as HistoryStore's loadScript, loadLog, recordGate and
// recordDecisions say. The tables are
// created when missing. Writers of one platform and project take turns (a transaction-level
// advisory lock on the two), so that concurrent loads lose nothing and never deadlock;
// readers are never blocked. A script is run and checked in SQLite (see scriptRows) and only
// its rows are sent. A value that the server's text cannot hold (a NUL byte, bytes not valid
// in its encoding) refuses the file.

LoadResult loadScriptToServer(const std::string& target, const std::string& script,
                              const std::string& branch);

LoadResult loadLogToServer(const std::string& target, const LoggedRun& logged,
                           const std::optional<std::string>& branch);

void recordDecisionsOnServer(const std::string& target, const std::vector<Decision>& decisions);

void recordGateOnServer(const std::string& target, const RunKey& run, const std::string& branch,
                        bool passed);

} // namespace vendrik::history
