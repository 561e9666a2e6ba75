#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace vendrik {

/// Answers the banner's questions about the version information of the program file.
struct VersionQuery {
    /// The most significant word of the fixed file version (major version in the high 16
    /// bits, minor in the low); nothing when there is no version information or no fixed
    /// part.
    std::function<std::optional<std::uint32_t>()> fileVersion;
    /// The value of a string sub-block, such as "\StringFileInfo\040904b0\OriginalFilename",
    /// up to its terminating zero byte; nothing when there is no such value.
    std::function<std::optional<std::string>(const std::string& subBlock)> text;
};

/// The platform's answers for the program file at `programPath`: on Windows its version
/// resource, read once; elsewhere the build's own version, file name and legal notice, in the
/// U.S. English string table, whatever the path.
VersionQuery programVersionQuery(const std::string& programPath);

/// Writes the two banner lines to `console`, each flushed:
///   "<OriginalFilename> version <major>.<minor> from <buildDate>"
///   "<LegalCopyright>"
/// with the strings of the U.S. English table (040904b0). A missing string leaves an empty
/// text in its place; without the fixed file version nothing is written.
void printVersionBanner(const VersionQuery& query, std::ostream& console);

/// The banner of the program file at `programPath` (see programVersionQuery).
void printVersionBanner(std::string_view programPath, std::ostream& console);

} // namespace vendrik
