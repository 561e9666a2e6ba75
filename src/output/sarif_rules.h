#pragma once

#include "output/review_findings.h"
#include "parse/report_reader.h"

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace vendrik {

/// What the findings of one message number say of its rule, whatever their order.
struct RuleFacts {
    /// Each MISRA reference of the findings: every part of a compound reference ("Ref: MISRA
    /// C:2012 Rule-2.2; MISRA C:2012 Rule-1.3") on its own, without the blanks around it.
    std::set<std::string> references;
    /// The findings of each priority; index 10 counts those above 9.
    std::array<std::uint64_t, 11> priorities{};
    /// The message text with its quoted parts ('...' and "...") made "...", so that it holds
    /// no single finding's identifiers; of several, the first in byte order.
    std::string summary;
};

/// The facts of every message number of the findings of `list` that `selection` keeps, by
/// number.
std::map<std::uint32_t, RuleFacts> gatherRuleFacts(const FindingsList& list,
                                                   const ReviewSelection& selection);

/// The priority whose findings are most frequent, the highest on a tie (10: above 9).
std::uint32_t mostFrequentPriority(const RuleFacts& facts);

/// `text` with the inside of each quoted part ('...' or "...", closed on the same character)
/// replaced by "...".
std::string withoutQuotedParts(std::string_view text);

} // namespace vendrik
