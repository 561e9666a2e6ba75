#pragma once

#include "history/store/store.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace vendrik::history {

/// Which findings of head are those of base. A finding of head matches one of base when
/// their file, message number and text are equal. Among several equal ones, the pairs are
/// those of the least total distance in lines, kept in line order: a line shift never makes
/// a finding new, and a copy inserted above an existing finding is the new one. (Groups
/// of more than 4 million pairs are paired in line order from the first.)
struct FindingMatch {
    std::vector<std::size_t> added;                        ///< indexes into head: new findings
    std::vector<std::size_t> fixed;                        ///< indexes into base: absent from head
    std::vector<std::pair<std::size_t, std::size_t>> kept; ///< (base, head) pairs
};

FindingMatch matchFindings(const std::vector<TrackedFinding>& base,
                           const std::vector<TrackedFinding>& head);

/// Puts `findings` in the order that stores give them: by file, line, message number and
/// text (bytes compared), then fingerprint.
void sortFindings(std::vector<TrackedFinding>& findings);

/// A kept finding whose line or priority differ: "updated" rather than "unchanged".
bool findingUpdated(const TrackedFinding& base, const TrackedFinding& head);

} // namespace vendrik::history
