#pragma once

#include "parse/report_reader.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace vendrik::test_support {

/// A fresh record with parseReportLine applied to `line`; its texts view `line`.
Finding makeFinding(std::string_view line);

/// The order of the reader's list, on whole records: by file (byte-wise, unsigned bytes, a
/// prefix first), then line, then message number, then message text.
bool findingLess(const Finding& a, const Finding& b);

/// True when file, line, message number and message text are all equal.
bool sameFinding(const Finding& a, const Finding& b);

/// A recognised finding of `file`; its texts are kept for the life of the test program.
Finding testFinding(std::string_view file, std::uint32_t line, std::uint32_t priority = 1,
                    std::uint32_t messageNumber = 1000, std::string_view messageText = "t");

/// A findings list as the reader leaves it: sorted by findingLess. Its rule standards are
/// taken to start their reference texts, as the reader finds them.
FindingsList sortedList(std::vector<Finding> findings);

} // namespace vendrik::test_support
