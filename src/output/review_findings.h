#pragma once

#include "parse/report_reader.h"

#include <functional>
#include <string>

namespace vendrik {

/// A finding of the list as the review formats show it.
struct ReviewFinding {
    Finding finding;
    bool his = false;
    /// Stays the same when lines move: 16 hexadecimal digits of a hash of the file name, the
    /// message number and the message text, then ":" and the occurrence, the number of the
    /// finding (1, 2, ...) among those of its file with the same message number and text, in
    /// line order. Unique within a run, by construction: where two different findings' hashes
    /// collide, the later one (in list order) takes the next free hash.
    std::string fingerprint;
};

/// Calls `visit` with every finding of `list`, in list order (by file, line, message number
/// and text).
void forEachReviewFinding(const FindingsList& list,
                          const std::function<void(const ReviewFinding&)>& visit);

} // namespace vendrik
