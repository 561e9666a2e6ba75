#pragma once

#include <ostream>

namespace vendrik::history {

/// Exit statuses of vendrik-history.
enum HistoryStatus : int {
    historyDone = 0,  ///< success, or the gate passed
    gateFailed = 1,   ///< the gate failed
    historyFailed = 2 ///< a usage error, a missing or unreadable database, no such run
};

/// Runs vendrik-history for the command line `argv`: the subcommands runs, compare, gate,
/// page and load. Results go to `out`, messages and usage errors to `err`. Returns the
/// status; nothing is thrown.
int runHistoryMain(int argc, const char* const argv[], std::ostream& out, std::ostream& err);

} // namespace vendrik::history
