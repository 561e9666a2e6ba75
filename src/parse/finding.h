#pragma once

#include <cstdint>
#include <memory_resource>
#include <string>
#include <string_view>

namespace vendrik {

/// Text of a finding. Its memory comes from the resource the finding was made with, so
/// that a whole report's texts can live in one store and go with it at once.
using FindingText = std::pmr::string;

/// One warning line of the analyser's report. A record whose `recognised` is false has
/// every other field at its initial value.
struct Finding {
    bool recognised = false;
    FindingText file; ///< path from the source-tree marker on, never empty when recognised
    std::uint32_t line = 0;
    std::uint32_t priority = 0; ///< one digit, 0 to 9
    std::uint32_t messageNumber = 0;
    FindingText messageText;   ///< without the closing ".)"
    FindingText referenceText; ///< everything after "Ref" and its punctuation character
    FindingText ruleStandard;  ///< the next three only when the reference names a MISRA rule
    std::uint32_t ruleNumber = 0;
    std::uint32_t ruleSubNumber = 0;
};

/// A fresh record whose texts take their memory from `textStore`.
Finding emptyFinding(std::pmr::memory_resource* textStore);

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
