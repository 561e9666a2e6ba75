#pragma once

#include <ostream>
#include <string_view>

namespace vendrik {

/// The three calls through which the banner reads version information.
struct VersionInformationSource {
    unsigned long (*size)(const char* path);
    bool (*fill)(const char* path, unsigned long size, void* block);
    bool (*query)(const void* block, const char* subBlock, const void** value, unsigned* length);
};

/// The platform's version information (see version_information.h).
VersionInformationSource platformVersionInformation();

/// Writes the two banner lines to `console`, read from the version information of the
/// program file at `programPath`:
///   "<OriginalFilename> version <major>.<minor> from <buildDate>"
///   "<LegalCopyright>"
/// A missing string (or a string table of another language than 040904b0) leaves an empty
/// text in its place. Without version information or without its fixed part nothing is
/// written. Each line is flushed.
void printVersionBanner(std::string_view programPath, std::ostream& console,
                        const VersionInformationSource& source = platformVersionInformation());

} // namespace vendrik
