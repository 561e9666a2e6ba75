#pragma once

#include <string>

namespace vendrik::history {

/// A file of the project's that compliance read, as the summary's header names it.
struct PlanFile {
    std::string path;
    std::string sha256; ///< of its bytes: 64 lower-case hex digits
};

/// The file at `path` whose bytes are `bytes`, with their SHA-256.
PlanFile planFile(const std::string& path, const std::string& bytes);

} // namespace vendrik::history
