#pragma once

#include "parse/report_reader.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vendrik {

/// Takes the next piece of an export's text; false when it could not be written, which ends
/// the export.
using TextSink = std::function<bool(std::string_view)>;

/// An export's text as it is made, handed to a sink in pieces of about 1 MiB: an export is
/// never held whole.
class ExportText {
  public:
    explicit ExportText(const TextSink& sink) : sink_(sink) {}
    std::string text; ///< what is made and not yet handed on

    /// Hands `text` to the sink once it holds a piece.
    void pieceMade() {
        if (text.size() >= std::size_t{1} << 20) {
            written_ = written_ && sink_(text);
            text.clear();
        }
    }
    /// Hands the rest to the sink; false when the sink failed now or before.
    bool finish() { return written_ && sink_(text); }

  private:
    const TextSink& sink_;
    bool written_ = true;
};

/// The priority bands of the summary: 8-9, 5-7 and 0-4 (a priority above 9 counts as 8-9).
enum class PriorityBand { high, middle, low };
PriorityBand priorityBand(std::uint32_t priority);

/// The name that `names` gives the band of `priority`: 8-9, 5-7, 0-4 in that order.
inline const char* bandName(std::uint32_t priority, const std::array<const char*, 3>& names) {
    return names[static_cast<std::size_t>(priorityBand(priority))];
}

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
