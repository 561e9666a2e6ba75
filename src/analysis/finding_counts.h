#pragma once

#include "analysis/findings_by_file.h"

#include <array>
#include <cstdint>

namespace vendrik {

/// True for message numbers 5300 to 5399, the HIS group. HIS findings are counted as HIS
/// and never under their priority.
bool isHisMessage(std::uint32_t messageNumber);

/// The twelve per-file counters of an SQL row, in column order.
struct FindingCounts {
    std::uint64_t all_errors = 0;
    std::uint64_t misra_0 = 0;
    std::uint64_t misra_1 = 0;
    std::uint64_t misra_2 = 0;
    std::uint64_t misra_3 = 0;
    std::uint64_t misra_4 = 0;
    std::uint64_t misra_5 = 0;
    std::uint64_t misra_6 = 0;
    std::uint64_t misra_7 = 0;
    std::uint64_t misra_8 = 0;
    std::uint64_t misra_9 = 0;
    std::uint64_t his = 0;
};

/// The counters misra_0 to misra_9, indexed by priority digit.
inline constexpr std::array<std::uint64_t FindingCounts::*, 10> misraCounters = {
    &FindingCounts::misra_0, &FindingCounts::misra_1, &FindingCounts::misra_2,
    &FindingCounts::misra_3, &FindingCounts::misra_4, &FindingCounts::misra_5,
    &FindingCounts::misra_6, &FindingCounts::misra_7, &FindingCounts::misra_8,
    &FindingCounts::misra_9};

/// The five counters of the summary.
struct PriorityBandCounts {
    std::uint64_t allFindings = 0;
    std::uint64_t priority0to4 = 0;
    std::uint64_t priority5to7 = 0;
    std::uint64_t priority8to9 = 0;
    std::uint64_t his = 0;
};

/// all_errors is the number of findings; each other finding counts as HIS or under its
/// priority digit. A priority above 9 counts only in all_errors.
FindingCounts countFindings(FindingRange findings);

/// allFindings is the number of findings; each other finding counts as HIS or in the band
/// of its priority (0-4, 5-7, 8-9). A priority above 9 counts only in allFindings.
PriorityBandCounts countPriorityBands(FindingRange findings);

} // namespace vendrik
