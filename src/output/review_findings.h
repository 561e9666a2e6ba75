#pragma once

#include "parse/report_reader.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

/// Which findings of a list the review exports keep. `kept` is empty when they keep all.
struct ReviewSelection {
    std::vector<bool> kept; ///< by index into the list
    std::size_t leftOut = 0;
    /// Under a cap, the kept findings' fingerprints in list order, worked out once for both
    /// exports.
    std::vector<std::string> fingerprints;
};

/// All findings of `list` without a cap; with one, the `cap` most serious: the highest
/// priority first, then the files in the summary's order (most findings first), then list
/// order.
ReviewSelection selectReviewFindings(const FindingsList& list, std::optional<std::size_t> cap);

/// Calls `visit` with every finding of `list` that `selection` keeps, in list order (by file,
/// line, message number and text). Fingerprints are those of the whole list.
void forEachReviewFinding(const FindingsList& list,
                          const std::function<void(const ReviewFinding&)>& visit,
                          const ReviewSelection& selection = {});

} // namespace vendrik
