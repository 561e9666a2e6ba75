#include "parse/source_path.h"

namespace vendrik {

std::string normaliseSourcePath(std::string_view path) {
    const std::size_t at = path.find(sourceTreeMarker);
    if (at == std::string_view::npos) {
        return {};
    }
    return std::string(path.substr(at));
}

} // namespace vendrik
