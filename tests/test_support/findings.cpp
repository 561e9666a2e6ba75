#include "test_support/findings.h"

#include <algorithm>
#include <map>
#include <string>
#include <tuple>

namespace vendrik::test_support {

Finding makeFinding(std::string_view line) {
    Finding finding;
    parseReportLine(finding, line);
    return finding;
}

bool findingLess(const Finding& a, const Finding& b) {
    if (const int byFile = a.file.compare(b.file); byFile != 0) {
        return byFile < 0;
    }
    return std::tie(a.line, a.messageNumber, a.messageText) <
           std::tie(b.line, b.messageNumber, b.messageText);
}

bool sameFinding(const Finding& a, const Finding& b) {
    return a.line == b.line && a.messageNumber == b.messageNumber && a.file == b.file &&
           a.messageText == b.messageText;
}

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
    std::map<std::string_view, std::uint32_t> fileNumbers;
    for (const Finding& finding : findings) {
        const auto [file, added] =
            fileNumbers.try_emplace(finding.file, static_cast<std::uint32_t>(list.files.size()));
        if (added) {
            list.files.push_back(finding.file);
        }
        // The line end: message text, then the reference text, which the rule standard starts.
        const std::string end =
            std::string(finding.messageText) + std::string(finding.referenceText);
        list.lineEnds.push_back(keepText(list.texts, end));
        list.lineEndFacts.push_back({static_cast<std::uint32_t>(finding.messageText.size()),
                                     static_cast<std::uint32_t>(finding.messageText.size()),
                                     static_cast<std::uint32_t>(finding.ruleStandard.size()),
                                     finding.ruleNumber, finding.ruleSubNumber});
        list.findings.push_back({file->second, finding.line, finding.messageNumber,
                                 static_cast<std::uint32_t>(list.lineEnds.size() - 1),
                                 finding.priority});
    }
    return list;
}

} // namespace vendrik::test_support
