#pragma once

#include "history/history_store.h"

#include <string>
#include <string_view>
#include <vector>

namespace vendrik::history {

/// A run as the converter's SARIF log records it: its identity, its branch when the log
/// names one, and every finding.
struct LoggedRun {
    RunKey run;
    std::string branch; ///< the run's property branch, else versionControlProvenance[0].branch
    std::vector<TrackedFinding> findings;
};

/// True when `content` is a JSON document rather than an SQL script: its first byte that is
/// not white space is "{".
bool looksLikeSarifLog(std::string_view content);

/// Reads a converter's SARIF 2.1.0 log: one run whose conversion names Vendrik, whose
/// properties hold platform, project, githash, date (YYYY.MM.DD) and time (HH:MM:SS), and
/// whose results each have a rule id (the message number), a message, a location relative
/// to SRCROOT (the URI's %XX escapes decoded), a line when there is one (0 when not), the
/// fingerprint "vendrikFinding/v1" and the properties priority and his. The reference is the
/// rule's MISRA tag, empty when it has none. Throws StoreError "refused: ..." naming the
/// first thing missing or malformed.
LoggedRun readSarifLog(std::string_view content);

} // namespace vendrik::history
