#include "parse/rule_reference.h"

#include "parse/grammar_engine.h"
#include "parse/to_unsigned.h"

namespace vendrik {

std::optional<RuleReference> parseRuleReference(std::string_view referenceText) {
    RuleReferenceGroups groups;
    if (!matchRuleReferenceInRun(referenceText, groups)) {
        return std::nullopt;
    }
    return RuleReference{groups[1], toUnsigned(groups[3]), toUnsigned(groups[4])};
}

} // namespace vendrik
