#pragma once

#include "analysis/findings_by_file.h"

#include <array>
#include <cstdint>
#include <string_view>

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

/// The names of the twelve counters, the columns of the results table, in column order.
inline constexpr std::array<std::string_view, 12> counterColumns = {
    "all_errors", "misra_0", "misra_1", "misra_2", "misra_3", "misra_4",
    "misra_5",    "misra_6", "misra_7", "misra_8", "misra_9", "his"};

/// Where a finding counts besides all_errors, as an index of counterColumns: his for a HIS
/// finding, else misra_P for its priority digit P; 0 (all_errors alone) for a priority above
/// 9. The one statement of the rule; the history's SQL sums (findingCountersSql) follow it.
constexpr std::size_t counterColumnOf(std::uint64_t priority, bool his) {
    return his ? counterColumns.size() - 1 : priority <= 9 ? 1 + priority : 0;
}

/// The counters misra_0 to misra_9, indexed by priority digit.
inline constexpr std::array<std::uint64_t FindingCounts::*, 10> misraCounters = {
    &FindingCounts::misra_0, &FindingCounts::misra_1, &FindingCounts::misra_2,
    &FindingCounts::misra_3, &FindingCounts::misra_4, &FindingCounts::misra_5,
    &FindingCounts::misra_6, &FindingCounts::misra_7, &FindingCounts::misra_8,
    &FindingCounts::misra_9};

/// The three priority bands, 8-9, 5-7 and 0-4, in that order. A priority is one digit (the
/// report grammar takes no other); should one above 9 come, the summary counts it in no
/// band, and the exports, which give every finding a level, count it as 8-9.
enum class PriorityBand { high, middle, low };
PriorityBand priorityBand(std::uint32_t priority);

/// The name that `names` gives the band of `priority`: 8-9, 5-7, 0-4 in that order.
inline const char* bandName(std::uint32_t priority, const std::array<const char*, 3>& names) {
    return names[static_cast<std::size_t>(priorityBand(priority))];
}

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
/// of its priority (see priorityBand). A priority above 9 counts only in allFindings.
PriorityBandCounts countPriorityBands(FindingRange findings);

} // namespace vendrik
