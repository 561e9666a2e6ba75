#include "analysis/finding_counts.h"

namespace vendrik {

bool isHisMessage(std::uint32_t messageNumber) {
    return messageNumber - 5300u <= 99u;
}

PriorityBand priorityBand(std::uint32_t priority) {
    return priority <= 4   ? PriorityBand::low
           : priority <= 7 ? PriorityBand::middle
                           : PriorityBand::high;
}

namespace {

/// How many findings count in each counter besides all_errors (slot 0: none).
std::array<std::uint64_t, 12> tallyFindings(FindingRange findings) {
    std::array<std::uint64_t, 12> tally{};
    for (const ListedFinding& finding : findings) {
        ++tally[counterColumnOf(finding.priority, isHisMessage(finding.messageNumber))];
    }
    return tally;
}

} // namespace

FindingCounts countFindings(FindingRange findings) {
    const std::array<std::uint64_t, 12> tally = tallyFindings(findings);
    FindingCounts counts;
    counts.all_errors = findings.size();
    for (std::size_t priority = 0; priority < misraCounters.size(); ++priority) {
        counts.*misraCounters[priority] = tally[1 + priority];
    }
    counts.his = tally[11];
    return counts;
}

PriorityBandCounts countPriorityBands(FindingRange findings) {
    const std::array<std::uint64_t, 12> tally = tallyFindings(findings);
    PriorityBandCounts counts;
    counts.allFindings = findings.size();
    for (std::uint32_t priority = 0; priority <= 9; ++priority) { // above 9: in no band
        const PriorityBand band = priorityBand(priority);
        (band == PriorityBand::high     ? counts.priority8to9
         : band == PriorityBand::middle ? counts.priority5to7
                                        : counts.priority0to4) += tally[1 + priority];
    }
    counts.his = tally[11];
    return counts;
}

} // namespace vendrik
