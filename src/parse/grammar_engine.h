#pragma once

// Chooses the matcher used by the run. The project's own matcher is the default; a build
// with VENDRIK_STD_REGEX_ENGINE uses the standard library's regular expressions instead,
// which serves for comparison.

#include "parse/grammar_groups.h"

#include <cstddef>
#include <string_view>

#if VENDRIK_STD_REGEX_ENGINE
#include "parse/regex_grammar.h"
#else
#include "parse/line_matcher.h"
#endif

namespace vendrik {

/// Matches a whole report line whose first line break is at `firstBreak` (npos: none).
inline bool matchReportLineInRun(std::string_view line, std::size_t firstBreak,
                                 ReportLineGroups& groups) {
#if VENDRIK_STD_REGEX_ENGINE
    static_cast<void>(firstBreak);
    return matchReportLineRegex(line, groups);
#else
    return matchReportLine(line, firstBreak, groups);
#endif
}

inline bool matchRuleReferenceInRun(std::string_view text, RuleReferenceGroups& groups) {
#if VENDRIK_STD_REGEX_ENGINE
    return matchRuleReferenceRegex(text, groups);
#else
    return matchRuleReference(text, groups);
#endif
}

} // namespace vendrik
