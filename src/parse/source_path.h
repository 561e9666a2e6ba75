#pragma once

#include <string_view>

namespace vendrik {

/// The text that marks the project's source tree inside a reported path: "Src\Src_NV\".
inline constexpr std::string_view sourceTreeMarker = "Src\\Src_NV\\";

/// Cuts a reported path down to the part inside the source tree: the result views `path`
/// from the first occurrence of `sourceTreeMarker` (exact, case-sensitive, backslashes
/// only) to its end. A path without the marker gives an empty view.
std::string_view normaliseSourcePath(std::string_view path);

} // namespace vendrik
