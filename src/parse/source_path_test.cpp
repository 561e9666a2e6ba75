#include "parse/source_path.h"
#include "parse/to_unsigned.h"

#include <gtest/gtest.h>

namespace vendrik {
namespace {

TEST(SourcePath, CutsThePathAtTheFirstMarker) {
    const struct {
        std::string path;
        std::string expected;
    } rows[] = {
        {"D:\\work\\proj\\Src\\Src_NV\\Core\\io_buffer.c", "Src\\Src_NV\\Core\\io_buffer.c"},
        {"Src\\Src_NV\\io.c", "Src\\Src_NV\\io.c"},
        {"a\\Src\\Src_NV\\b\\Src\\Src_NV\\c.c", "Src\\Src_NV\\b\\Src\\Src_NV\\c.c"},
        {"D:\\work\\src\\src_nv\\io.c", ""},
        {"D:/work/Src/Src_NV/io.c", ""},
        {"D:\\work\\Src\\Src_NVX\\io.c", ""},
        {"12 tool says: C:\\x\\Src\\Src_NV\\io.h", "Src\\Src_NV\\io.h"},
        {"Src\\Src_NV\\", "Src\\Src_NV\\"},
        {"Src\\Src_NV", ""},
        {"", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(normaliseSourcePath(row.path), row.expected) << row.path;
    }
}

TEST(ToUnsigned, ReadsDigitsAndSaturates) {
    const struct {
        std::string text;
        std::uint32_t expected;
    } rows[] = {
        {"0", 0},
        {"0857", 857},
        {"4294967295", 4294967295u},
        {"4294967296", 4294967295u},
        {"18446744073709551617", 4294967295u},
        {"000000000000000000000000000042", 42},
        {"999999999", 999999999u},
        {"1000000000", 1000000000u},
        {"12x4", 12},
        {"x", 0},
        {" 7", 7},
        {"\t\r 12345678", 12345678},
        {" ", 0},
        {"", 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(toUnsigned(row.text), row.expected) << row.text;
    }
}

} // namespace
} // namespace vendrik
