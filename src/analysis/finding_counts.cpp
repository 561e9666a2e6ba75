#include "analysis/finding_counts.h"

namespace vendrik {

bool isHisMessage(std::uint32_t messageNumber) {
    return messageNumber - 5300u <= 99u;
}

FindingCounts countFindings(FindingRange findings) {
    FindingCounts counts;
    counts.all_errors = findings.size();
    for (const Finding& finding : findings) {
        if (isHisMessage(finding.messageNumber)) {
            ++counts.his;
        } else if (finding.priority < misraCounters.size()) {
            ++(counts.*misraCounters[finding.priority]);
        }
    }
    return counts;
}

PriorityBandCounts countPriorityBands(FindingRange findings) {
    PriorityBandCounts counts;
    counts.allFindings = findings.size();
    for (const Finding& finding : findings) {
        if (isHisMessage(finding.messageNumber)) {
            ++counts.his;
        } else if (finding.priority <= 4) {
            ++counts.priority0to4;
        } else if (finding.priority - 5u <= 2u) {
            ++counts.priority5to7;
        } else if (finding.priority - 8u <= 1u) {
            ++counts.priority8to9;
        }
    }
    return counts;
}

} // namespace vendrik
