#pragma once

#include "parse/finding.h"
#include "parse/text_store.h"

#include <istream>
#include <vector>

namespace vendrik {

/// The run's findings: recognised only, in ascending findingLess order, no two the same.
/// The list owns the texts its findings view: each file name once, and the ends of the
/// warning lines from the message text on (message and reference text), shared by the
/// findings whose lines end alike (see RecentTexts in text_table.h).
struct FindingsList {
    std::vector<Finding> findings;
    TextStore texts;
};

/// Orders by file (byte-wise, unsigned bytes, a prefix first), then line, then message
/// number, then message text. Priority, reference and rule fields take no part.
bool findingLess(const Finding& a, const Finding& b);

/// True when file, line, message number and message text are all equal.
bool sameFinding(const Finding& a, const Finding& b);

/// Replaces the content of `list` with the warnings of the report read from `input` to its
/// end: one candidate per line (a line ends at LF; a CR right before the LF belongs to the
/// line end; a last line without LF counts), recognised ones kept, sorted by findingLess,
/// and of every set of findings equal under sameFinding only one kept. Lines that are not
/// warnings are dropped silently; a stream that stops delivering lines ends the reading
/// with what was read so far.
void readReport(std::istream& input, FindingsList& list);

} // namespace vendrik
