#pragma once

// Compares the project's matcher with the std::regex reference on one text.

#include "parse/line_breaks.h"
#include "parse/line_matcher.h"
#include "parse/regex_grammar.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vendrik::test_support {

/// What the reference found, and how the matcher differed from it (nothing when the two
/// agree on the verdict and, on a match, on the place and length of every group).
struct Comparison {
    bool referenceMatched = false;
    std::optional<std::string> difference;
};

template <std::size_t N>
Comparison compareWithReference(std::string_view text,
                                bool (*ours)(std::string_view, std::array<std::string_view, N>&),
                                bool (*reference)(std::string_view,
                                                  std::array<std::string_view, N>&)) {
    std::array<std::string_view, N> expected{};
    std::array<std::string_view, N> actual{};
    Comparison comparison;
    comparison.referenceMatched = reference(text, expected);
    const bool matched = ours(text, actual);
    if (matched != comparison.referenceMatched) {
        comparison.difference =
            matched ? "matched; the reference did not" : "did not match; the reference did";
        return comparison;
    }
    for (std::size_t group = 0; matched && group < N; ++group) {
        if (actual[group].data() != expected[group].data() ||
            actual[group].size() != expected[group].size()) {
            comparison.difference = "group " + std::to_string(group) + " is \"" +
                                    std::string(actual[group]) + "\", the reference's \"" +
                                    std::string(expected[group]) + "\"";
            return comparison;
        }
    }
    return comparison;
}

/// The matcher on a whole line, its first line break found as the reader finds it.
inline bool matchWholeReportLine(std::string_view line, ReportLineGroups& groups) {
    return matchReportLine(line, firstLineBreak(line, 0), groups);
}

inline Comparison compareReportLine(std::string_view line) {
    return compareWithReference<10>(line, matchWholeReportLine, matchReportLineRegex);
}

inline Comparison compareRuleReference(std::string_view text) {
    return compareWithReference<6>(text, matchRuleReference, matchRuleReferenceRegex);
}

} // namespace vendrik::test_support
