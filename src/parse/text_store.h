#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace vendrik {

/// Owns copies of texts in large chunks that never move, so the views it hands out stay
/// valid for as long as the store lives, also when the store itself is moved.
struct TextStore {
    std::vector<std::unique_ptr<char[]>> chunks;
    char* free = nullptr;      ///< next unused byte of the last chunk
    std::size_t freeBytes = 0; ///< unused bytes left in the last chunk
};

/// A view of a copy of `text` that lives in `store`. An empty text gives an empty view and
/// takes no room.
std::string_view keepText(TextStore& store, std::string_view text);

} // namespace vendrik
