#pragma once

#include "parse/grammar_groups.h"

#include <regex>
#include <string_view>

namespace vendrik {

/// The report-line grammar as an ECMAScript expression, compiled on first use and shared
/// afterwards (thread-safe one-time initialisation).
const std::regex& reportLineGrammar();

/// The rule reference grammar as an ECMAScript expression, compiled on first use.
const std::regex& ruleReferenceGrammar();

/// Whole-text match of `line` against reportLineGrammar(). Fills every group on a match;
/// leaves `groups` unspecified otherwise. Recursion in the library's engine grows with the
/// line, so very long lines can exhaust the stack: this engine serves as the reference
/// that the project's own matcher is checked against, and as an optional build.
bool matchReportLineRegex(std::string_view line, ReportLineGroups& groups);

/// Whole-text match of `text` against ruleReferenceGrammar(), as above.
bool matchRuleReferenceRegex(std::string_view text, RuleReferenceGroups& groups);

} // namespace vendrik
