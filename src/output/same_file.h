#pragma once

#include <string>

namespace vendrik {

/// True when both paths name one existing file on disk, whatever the spelling of the
/// paths (relative or absolute, through symbolic links, or as two hard links). False when
/// either path names no existing file.
bool sameFile(const std::string& first, const std::string& second);

/// True when both paths name one file: one existing file as for sameFile, or the one file
/// that writing either would create (the same absolute path once links and "." and ".."
/// are resolved).
bool namesOneFile(const std::string& first, const std::string& second);

/// True when `path` names the file that standard output writes to (such as /dev/stdout, or
/// the file the shell redirected the output to).
bool isStandardOutput(const std::string& path);

/// True when `path` names an existing directory.
bool isDirectory(const std::string& path);

} // namespace vendrik
