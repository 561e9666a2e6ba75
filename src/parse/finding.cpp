#include "parse/finding.h"

#include "parse/grammar_engine.h"
#include "parse/line_breaks.h"
#include "parse/rule_reference.h"
#include "parse/source_path.h"
#include "parse/to_unsigned.h"

namespace vendrik {

bool parseWarningLine(Finding& finding, std::string_view line, std::size_t firstBreak) {
    // The marker must lie in the path, so a line without it anywhere needs no matching.
    if (line.find(sourceTreeMarker) == std::string_view::npos) {
        return false;
    }
    ReportLineGroups groups;
    if (!matchReportLineInRun(line, firstBreak, groups)) {
        return false;
    }
    const std::string_view file = normaliseSourcePath(groups[1]);
    if (file.empty()) {
        return false;
    }
    finding.recognised = true;
    finding.file = file;
    finding.line = toUnsigned(groups[2]);
    finding.priority = toUnsigned(groups[4]);
    finding.messageNumber = toUnsigned(groups[5]);
    finding.messageText = groups[6];
    finding.referenceText = groups[9];
    return true;
}

void parseRuleFields(Finding& finding) {
    if (finding.referenceText == " ") {
        return;
    }
    if (auto reference = parseRuleReference(finding.referenceText)) {
        finding.ruleStandard = reference->ruleStandard;
        finding.ruleNumber = reference->ruleNumber;
        finding.ruleSubNumber = reference->ruleSubNumber;
    }
}

bool parseReportLine(Finding& finding, std::string_view line) {
    if (!parseWarningLine(finding, line, firstLineBreak(line, 0))) {
        return false;
    }
    parseRuleFields(finding);
    return true;
}

} // namespace vendrik
