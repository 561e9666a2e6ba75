#pragma once

#include "parse/report_reader.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace vendrik::testing {

/// A recognised finding of `file`; its texts are kept for the life of the test program.
Finding testFinding(std::string_view file, std::uint32_t line, std::uint32_t priority = 1,
                    std::uint32_t messageNumber = 1000, std::string_view messageText = "t");

/// A findings list as the reader leaves it: sorted by findingLess. Its rule standards are
/// taken to start their reference texts, as the reader finds them.
FindingsList sortedList(std::vector<Finding> findings);

} // namespace vendrik::testing
