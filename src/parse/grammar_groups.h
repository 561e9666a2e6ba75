#pragma once

#include <array>
#include <string_view>

namespace vendrik {

/// Capture groups of a matched report line, by group number; [0] is the whole line.
/// 1 path (with any text in front of it), 2 line number, 3 severity word, 4 priority digit,
/// 5 message number, 6 message text, 7 free text, 8 the word "Ref", 9 reference text.
/// The views point into the matched line.
using ReportLineGroups = std::array<std::string_view, 10>;

/// Capture groups of a matched rule reference, by group number; [0] is the whole text.
/// 1 standard, 2 "Rule" or "Dir", 3 first number, 4 second number, 5 trailing text.
using RuleReferenceGroups = std::array<std::string_view, 6>;

} // namespace vendrik
