#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vendrik {

/// One warning line of the analyser's report. A record whose `recognised` is false has
/// every other field at its initial value. The texts are views: into the report line for a
/// record that parseReportLine filled, into the findings list's own store once the report
/// reader has kept the record (see report_reader.h).
struct Finding {
    bool recognised = false;
    std::uint32_t line = 0;
    std::uint32_t priority = 0; ///< one digit, 0 to 9
    std::uint32_t messageNumber = 0;
    std::uint32_t ruleNumber = 0;    ///< this and the next two only when the reference names a
    std::uint32_t ruleSubNumber = 0; ///< MISRA rule
    std::string_view ruleStandard;
    std::string_view file; ///< path from the source-tree marker on, never empty when recognised
    std::string_view messageText;   ///< without the closing ".)"
    std::string_view referenceText; ///< everything after "Ref" and its punctuation character
};

/// Fills a fresh `finding` from one report line (without its line end) and returns whether
/// the line is a warning line inside the source tree. The whole line must match the report
/// line grammar (see line_matcher.h) and its path must hold the source-tree marker;
/// otherwise the record is left untouched and the result is false. Numbers beyond 32 bits
/// saturate to 4294967295. The rule fields are filled only when the reference text is not
/// a single blank and names a MISRA rule.
/// The record's texts view `line`, which must outlive them.
bool parseReportLine(Finding& finding, std::string_view line);

/// parseReportLine without the rule fields, which keep their initial values, for a caller
/// that has found the line's first line break (CR or LF) already: `firstBreak` is its
/// position, or npos when the line holds none. The report reader reads the rule of each kept
/// line ending only once, with parseRuleFields.
bool parseWarningLine(Finding& finding, std::string_view line, std::size_t firstBreak);

/// Fills the rule fields of `finding` from its reference text as parseReportLine does: only
/// when the text is not a single blank and names a MISRA rule; otherwise leaves them.
void parseRuleFields(Finding& finding);

} // namespace vendrik
