#include "parse/prefault.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace vendrik {
namespace {

/// The "VmFlags:" line of the process's mapping that holds `address`, or "".
std::string flagsOfMapping(std::uintptr_t address) {
    std::ifstream maps("/proc/self/smaps");
    std::string line;
    bool holds = false;
    while (std::getline(maps, line)) {
        std::istringstream header(line);
        std::uintptr_t start = 0;
        std::uintptr_t end = 0;
        char dash = 0;
        if (header >> std::hex >> start >> dash >> end && dash == '-') {
            holds = start <= address && address < end;
        } else if (holds && line.starts_with("VmFlags:")) {
            return line;
        }
    }
    return "";
}

TEST(UseLargePages, MarksTheHeapTheNextBlocksComeFrom) {
    keepFreedMemory();
    if (!useLargePages()) {
        GTEST_SKIP() << "this allocator or system has no heap reserve to mark";
    }
    constexpr std::size_t size = std::size_t{16} << 20;
    const auto block = std::make_unique<char[]>(size);
    const auto start = reinterpret_cast<std::uintptr_t>(block.get());
    for (const std::size_t offset : {std::size_t{4} << 20, size / 2, size - 1}) {
        const std::string flags = flagsOfMapping(start + offset);
        EXPECT_NE(flags.find(" hg"), std::string::npos) << "at " << offset << ": " << flags;
    }
}

} // namespace
} // namespace vendrik
