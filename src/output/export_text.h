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

/// A file name as an export writes it (`make` appends it to a text), made once for the
/// findings of one file, which come together in the findings list.
class FileText {
  public:
    explicit FileText(void (*make)(std::string&, std::string_view)) : make_(make) {}
    /// The text of `file`, a name of the findings list's own store.
    const std::string& of(std::string_view file) {
        if (file.data() != file_.data() || file.size() != file_.size()) {
            file_ = file;
            text_.clear();
            make_(text_, file);
        }
        return text_;
    }

  private:
    void (*make_)(std::string&, std::string_view);
    std::string_view file_;
    std::string text_;
};

} // namespace vendrik
