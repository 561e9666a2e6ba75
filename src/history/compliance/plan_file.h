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

/// The file at `path`, read whole, with the SHA-256 of its bytes; StoreError when it cannot
/// be read.
PlanFile planFileAt(const std::string& path);

} // namespace vendrik::history
