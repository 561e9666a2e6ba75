#pragma once

#include <cstddef>
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

} // namespace vendrik
