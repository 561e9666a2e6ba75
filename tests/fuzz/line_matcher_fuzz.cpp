// libFuzzer target: the project's matcher must give exactly what std::regex gives for the
// same expressions, on every input, for both grammars.

#include "parse/line_matcher.h"
#include "parse/regex_grammar.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

template <std::size_t N>
void compare(std::string_view text,
             bool (*ours)(std::string_view, std::array<std::string_view, N>&),
             bool (*reference)(std::string_view, std::array<std::string_view, N>&)) {
    std::array<std::string_view, N> actual{};
    std::array<std::string_view, N> expected{};
    const bool matched = ours(text, actual);
    if (matched != reference(text, expected)) {
        std::abort();
    }
    for (std::size_t group = 0; matched && group < N; ++group) {
        if (actual[group].data() != expected[group].data() ||
            actual[group].size() != expected[group].size()) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The reference engine recurses once per byte or so; beyond a few KB it would exhaust
    // the stack on its own.
    if (size > 3000) {
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    compare<10>(text, vendrik::matchReportLine, vendrik::matchReportLineRegex);
    compare<6>(text, vendrik::matchRuleReference, vendrik::matchRuleReferenceRegex);
    return 0;
}
