#include "parse/text_store.h"

#include <algorithm>
#include <cstring>

namespace vendrik {

namespace {
constexpr std::size_t chunkSize = std::size_t{1} << 22;
} // namespace

std::string_view keepText(TextStore& store, std::string_view text) {
    if (text.empty()) {
        return {};
    }
    if (text.size() > store.freeBytes) {
        const std::size_t size = std::max(chunkSize, text.size());
        store.chunks.push_back(std::make_unique_for_overwrite<char[]>(size));
        store.free = store.chunks.back().get();
        store.freeBytes = size;
    }
    char* copy = store.free;
    std::memcpy(copy, text.data(), text.size());
    store.free += text.size();
    store.freeBytes -= text.size();
    return {copy, text.size()};
}

} // namespace vendrik
