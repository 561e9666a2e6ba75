#pragma once

#include <string>
#include <string_view>

namespace vendrik {

/// The text that marks the project's source tree inside a reported path: "Src\Src_NV\".
inline constexpr std::string_view sourceTreeMarker = "Src\\Src_NV\\";

/// Cuts a reported path down to the part inside the source tree: the result starts at the
/// first occurrence of `sourceTreeMarker` (exact, case-sensitive, backslashes only) and runs
/// to the end of the path. A path without the marker gives the empty string.
std::string normaliseSourcePath(std::string_view path);

/// The same part of `path` as a view into it; empty when the marker is missing.
std::string_view sourceTreePart(std::string_view path);

} // namespace vendrik
