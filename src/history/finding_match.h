#pragma once

#include "history/store/store.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace vendrik::history {

/// Which findings of head are those of base. A finding of head matches one of base when
/// their file, message number and text are equal. Among several equal ones, the pairs are
/// those of the least total distance in lines, kept in line order: a line shift never makes
/// a finding new, and a copy inserted above an existing finding is the new one. (Groups
/// of more than 4 million pairs are paired in line order from the first.)
///
/// A file renamed or moved: a file of base none of whose findings is in head ("left") and a
/// file of head none of whose findings is in base ("arrived") are one file moved when their
/// findings, matched by message number and text alone (nearest lines, as above), pair up
/// for at least 4 in 5 of the findings of the larger of the two; where the larger has fewer
/// than 3 findings, only when both files have the same name in different folders. A left file is
/// the move of the arrived file it pairs most findings with (on a tie, the first by name), one to
/// one, the moves with most pairs chosen first. The pairs of a moved file are kept; its other
/// findings stay fixed and added.
struct FindingMatch {
    std::vector<std::size_t> added;                        ///< indexes into head: new findings
    std::vector<std::size_t> fixed;                        ///< indexes into base: absent from head
    std::vector<std::pair<std::size_t, std::size_t>> kept; ///< (base, head) pairs
    /// (base file, head file) of each file moved, by base file
    std::vector<std::pair<std::string, std::string>> movedFiles;
};

FindingMatch matchFindings(const std::vector<TrackedFinding>& base,
                           const std::vector<TrackedFinding>& head);

/// Gives each finding of `head` the origin of the finding of `base` that it is, and each new
/// one its own: its fingerprint, "@" and `run`, the order key of head's run. A finding just as
/// it was in base (fingerprint, place, number, priority, text and reference) is that finding;
/// the others are paired as matchFindings pairs them.
void inheritOrigins(const std::vector<TrackedFinding>& base, std::vector<TrackedFinding>& head,
                    const std::string& run);

/// Puts `findings` in the order that stores give them: by file, line, message number and
/// text (bytes compared), then fingerprint.
void sortFindings(std::vector<TrackedFinding>& findings);

/// A kept finding whose file differs: moved with its file.
inline bool findingMoved(const TrackedFinding& base, const TrackedFinding& head) {
    return base.file != head.file;
}

/// A kept finding whose line or priority differ: "updated" rather than "unchanged".
bool findingUpdated(const TrackedFinding& base, const TrackedFinding& head);

} // namespace vendrik::history
