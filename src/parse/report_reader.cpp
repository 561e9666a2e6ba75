#include "parse/report_reader.h"

#include <algorithm>
#include <string>
#include <tuple>

namespace vendrik {

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

void readReport(std::istream& input, FindingsList& findings) {
    findings.clear();
    std::string line;
    while (std::getline(input, line)) {
        const bool endedByLineFeed = !input.eof();
        if (endedByLineFeed && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        Finding finding;
        if (parseReportLine(finding, line)) {
            findings.push_back(std::move(finding));
        }
    }
    std::sort(findings.begin(), findings.end(), findingLess);
    findings.erase(std::unique(findings.begin(), findings.end(), sameFinding), findings.end());
}

} // namespace vendrik
