#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vendrik {

/// What a MISRA rule reference names: the standard and the two rule numbers.
struct RuleReference {
    std::string_view ruleStandard; ///< views the reference text
    std::uint32_t ruleNumber = 0;
    std::uint32_t ruleSubNumber = 0;
};

/// Matches the whole `referenceText` against the rule reference grammar ("MISRA", any text,
/// punctuation and digits, spaces, "Rule" or "Dir", "-", digits, ".", digits, any text).
/// When several references are present the last one gives the numbers. No match (also for
/// an empty text or one starting with a blank) gives no value.
std::optional<RuleReference> parseRuleReference(std::string_view referenceText);

} // namespace vendrik
