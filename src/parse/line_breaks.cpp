#include "parse/line_breaks.h"

#include <bit>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vendrik {

std::size_t firstLineBreak(std::string_view text, std::size_t from) {
    std::size_t at = from;
#ifdef __SSE2__
    // Thirty-two bytes at a time, compared with CR and LF at once.
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const auto breaksIn = [&](std::size_t from) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + from));
        return _mm_or_si128(_mm_cmpeq_epi8(bytes, carriageReturn), _mm_cmpeq_epi8(bytes, lineFeed));
    };
    for (; at + 32 <= text.size(); at += 32) {
        const __m128i low = breaksIn(at);
        const __m128i high = breaksIn(at + 16);
        if (_mm_movemask_epi8(_mm_or_si128(low, high)) != 0) {
            const auto found = static_cast<unsigned>(_mm_movemask_epi8(low)) |
                               static_cast<unsigned>(_mm_movemask_epi8(high)) << 16;
            return at + static_cast<std::size_t>(std::countr_zero(found));
        }
    }
    if (at + 16 <= text.size()) {
        const auto found = static_cast<unsigned>(_mm_movemask_epi8(breaksIn(at)));
        if (found != 0) {
            return at + static_cast<std::size_t>(std::countr_zero(found));
        }
        at += 16;
    }
    if (at < text.size() && text.size() - from >= 16) {
        // The last sixteen bytes, overlapping those looked at already, which hold no break.
        const std::size_t last = text.size() - 16;
        const auto found = static_cast<unsigned>(_mm_movemask_epi8(breaksIn(last)));
        return found == 0 ? std::string_view::npos
                          : last + static_cast<std::size_t>(std::countr_zero(found));
    }
#endif
    for (; at < text.size(); ++at) {
        if (text[at] == '\r' || text[at] == '\n') {
            return at;
        }
    }
    return std::string_view::npos;
}

} // namespace vendrik
