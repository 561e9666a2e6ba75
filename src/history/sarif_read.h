#pragma once

#include "history/store/store.h"

#include <string>
#include <string_view>
#include <vector>

namespace vendrik::history {

/// True when `content` is a JSON document rather than an SQL script: its first byte that is
/// not white space is "{".
bool looksLikeSarifLog(std::string_view content);

/// How deep a log may nest its arrays and objects; the converter's logs nest 9 deep.
constexpr std::size_t maxLogDepth = 64;

/// Reads a converter's SARIF 2.1.0 log: one run whose conversion names Vendrik, whose
/// properties hold platform, project, githash, date (YYYY.MM.DD) and time (HH:MM:SS), and
/// whose results each have a rule id (the message number), a message, a location relative
/// to SRCROOT (the URI's %XX escapes decoded), a line when there is one (0 when not), the
/// fingerprint "vendrikFinding/v1" and the properties priority and his. The reference is the
/// rule's MISRA tag, empty when it has none. Line, message number and priority must lie in
/// the converter's ranges (1 to 2^32-1, 0 to 2^32-1, 0 to 9). A log whose run's property
/// omittedFindings is above 0 was cut by the converter's cap, and is refused. Only what the
/// history keeps is built: reading takes memory for the results' findings, not for the rest
/// of the log. Throws StoreError "refused: ..." naming the first thing missing, malformed,
/// out of range or nested deeper than maxLogDepth.
LoggedRun readSarifLog(std::string_view content);

} // namespace vendrik::history
