// libFuzzer target: the project's matcher must give exactly what std::regex gives for the
// same expressions, on every input, for both grammars.

#include "test_support/reference_comparison.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The reference engine recurses once per byte or so; beyond a few KB it would exhaust
    // the stack on its own.
    if (size > 3000) {
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (vendrik::test_support::compareReportLine(text).difference ||
        vendrik::test_support::compareRuleReference(text).difference) {
        std::abort();
    }
    return 0;
}
