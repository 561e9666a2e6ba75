#include "parse/source_path.h"

namespace vendrik {

std::string_view normaliseSourcePath(std::string_view path) {
    const std::size_t at = path.find(sourceTreeMarker);
    if (at == std::string_view::npos) {
        return {};
    }
    return path.substr(at);
}

} // namespace vendrik
