#include "test_support/findings.h"

#include <algorithm>

namespace vendrik::testing {

Finding testFinding(std::string_view file, std::uint32_t line, std::uint32_t priority,
                    std::uint32_t messageNumber, std::string_view messageText) {
    static TextStore texts;
    Finding finding;
    finding.recognised = true;
    finding.file = keepText(texts, file);
    finding.line = line;
    finding.priority = priority;
    finding.messageNumber = messageNumber;
    finding.messageText = keepText(texts, messageText);
    return finding;
}

FindingsList sortedList(std::vector<Finding> findings) {
    std::sort(findings.begin(), findings.end(), findingLess);
    FindingsList list;
    list.findings = std::move(findings);
    return list;
}

} // namespace vendrik::testing
