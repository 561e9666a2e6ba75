#include "output/sarif_rules.h"

#include "parse/rule_reference.h"

#include <unordered_set>

namespace vendrik {

namespace {

/// Adds each part of `reference`, between ";", that names a MISRA rule.
void addReferences(std::set<std::string>& references, std::string_view reference) {
    for (std::size_t start = 0; start <= reference.size();) {
        const std::size_t end = std::min(reference.find(';', start), reference.size());
        std::string_view part = reference.substr(start, end - start);
        part.remove_prefix(std::min(part.find_first_not_of(" \t"), part.size()));
        part.remove_suffix(part.size() - (part.find_last_not_of(" \t") + 1));
        if (parseRuleReference(part)) {
            references.emplace(part);
        }
        start = end + 1;
    }
}

} // namespace

std::string withoutQuotedParts(std::string_view text) {
    std::string summary;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        const std::size_t close = c == '\'' || c == '"' ? text.find(c, at + 1) : text.npos;
        if (close == text.npos) {
            summary += c;
            continue;
        }
        summary.append(1, c).append("...").append(1, c);
        at = close;
    }
    return summary;
}

std::map<std::uint32_t, RuleFacts> gatherRuleFacts(const FindingsList& list,
                                                   const ReviewSelection& selection) {
    std::map<std::uint32_t, RuleFacts> rules;
    // A text and reference (a line end) is read once per message number that has it.
    std::unordered_set<std::uint64_t> read;
    for (std::size_t index = 0; index < list.findings.size(); ++index) {
        if (!selection.kept.empty() && !selection.kept[index]) {
            continue;
        }
        const ListedFinding& listed = list.findings[index];
        RuleFacts& facts = rules[listed.messageNumber];
        ++facts.priorities[std::min<std::uint32_t>(listed.priority, 10)];
        if (!read.insert(std::uint64_t{listed.messageNumber} << 32 | listed.lineEnd).second) {
            continue;
        }
        const Finding finding = findingAt(list, index);
        addReferences(facts.references, finding.referenceText);
        std::string summary = withoutQuotedParts(finding.messageText);
        if (facts.summary.empty() || summary < facts.summary) {
            facts.summary = std::move(summary);
        }
    }
    return rules;
}

std::uint32_t mostFrequentPriority(const RuleFacts& facts) {
    std::uint32_t most = 0;
    for (std::uint32_t priority = 1; priority < facts.priorities.size(); ++priority) {
        most = facts.priorities[priority] >= facts.priorities[most] ? priority : most;
    }
    return most;
}

} // namespace vendrik
