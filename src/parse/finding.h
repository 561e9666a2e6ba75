#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vendrik {

/// One warning line of the analyser's report. A record whose `recognised` is false has
/// every other field at its initial value.
struct Finding {
    bool recognised = false;
    std::string file; ///< path from the source-tree marker on, never empty when recognised
    std::uint32_t line = 0;
    std::uint32_t priority = 0; ///< one digit, 0 to 9
    std::uint32_t messageNumber = 0;
    std::string messageText;   ///< without the closing ".)"
    std::string referenceText; ///< everything after "Ref" and its punctuation character
    std::string ruleStandard;  ///< the next three only when the reference names a MISRA rule
    std::uint32_t ruleNumber = 0;
    std::uint32_t ruleSubNumber = 0;
};

/// Fills a fresh `finding` from one report line (without its line end) and returns whether
/// the line is a warning line inside the source tree. The whole line must match the report
/// line grammar (see line_matcher.h) and its path must hold the source-tree marker;
/// otherwise the record is left untouched and the result is false. Numbers beyond 32 bits
/// saturate to 4294967295. The rule fields are filled only when the reference text is not
/// a single blank and names a MISRA rule.
bool parseReportLine(Finding& finding, std::string_view line);

/// A fresh record with parseReportLine applied to `line`.
Finding makeFinding(std::string_view line);

} // namespace vendrik
