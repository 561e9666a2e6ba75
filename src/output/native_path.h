#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vendrik {

/// A file name as the program holds it, as the file system takes it. On Windows the program
/// holds the names of its files in UTF-8, read from the command line as Windows holds it
/// (see wideArguments), so that every name Windows can create can be named; elsewhere a
/// name is its bytes.
std::filesystem::path nativePath(const std::string& name);

/// A path of the file system as the program holds names: the reverse of nativePath.
std::string heldName(const std::filesystem::path& path);

/// The command line as the system holds it, each argument as the program holds file names:
/// on Windows the wide command line in UTF-8; elsewhere nothing (the arguments already are
/// the system's bytes).
std::vector<std::string> wideArguments();

} // namespace vendrik
