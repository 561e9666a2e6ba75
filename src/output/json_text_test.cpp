#include "output/json_text.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <random>

namespace vendrik {
namespace {

using namespace std::string_literals;

std::string jsonOf(const std::string& bytes) {
    std::string out;
    appendJsonString(out, bytes);
    return out;
}

TEST(JsonText, KeepsUtf8ReadsOtherBytesAsWindows1252AndEscapes) {
    const std::pair<std::string, std::string> rows[] = {
        {"plain text", R"("plain text")"},
        {"a \"quoted\" \\ path", R"("a \"quoted\" \\ path")"},
        {"tab\tcr\rlf\nbs\bff\f", R"("tab\tcr\rlf\nbs\bff\f")"},
        {"nul\0x\x01\x1f\x7f"s, "\"nul\\u0000x\\u0001\\u001F\x7f\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
        {"caf\xe9 \x80 \x9f", "\"caf\xc3\xa9 \xe2\x82\xac \xc5\xb8\""}, // Windows-1252
        {"\x81\x8d\x8f\x90\x9d", "\"" + std::string(5, 'X') + "\""},    // undefined: U+FFFD
        {"\xc0\xaf", "\"\xc3\x80\xc2\xaf\""},                           // overlong
        {"\xed\xa0\x80", "\"\xc3\xad\xc2\xa0\xe2\x82\xac\""},           // surrogate
        {"\xe2\x82", "\"\xc3\xa2\xe2\x80\x9a\""},                       // cut short
        {"\xf4\x90\x80\x80", "\"\xc3\xb4X\xe2\x82\xac\xe2\x82\xac\""},  // beyond U+10FFFF
    };
    for (auto [bytes, expected] : rows) {
        for (std::size_t at = expected.find('X'); at != std::string::npos;
             at = expected.find('X', at)) {
            expected.replace(at, 1, "\xef\xbf\xbd");
        }
        EXPECT_EQ(jsonOf(bytes), expected) << bytes;
    }
    std::string sentence;
    appendJsonSentence(sentence, "No else");
    EXPECT_EQ(sentence, R"("No else.")");
}

TEST(JsonText, WritesPathsAsRelativeUrisAndJsonPaths) {
    const std::pair<std::string, std::string> rows[] = {
        {"Src\\Src_NV\\app\\main.c", "Src/Src_NV/app/main.c"},
        {"Src\\Src_NV\\my file (1).c", "Src/Src_NV/my%20file%20%281%29.c"},
        {"Src\\Src_NV\\a#b?c%d~e.h", "Src/Src_NV/a%23b%3Fc%25d~e.h"},
        {"Src\\Src_NV\\caf\xe9.c", "Src/Src_NV/caf%C3%A9.c"},
        {"Src\\Src_NV\\\"\0.c"s, "Src/Src_NV/%22%00.c"},
        // Lexically normal, and never above the root.
        {"Src\\Src_NV\\app\\..\\.\\main.c", "Src/Src_NV/main.c"},
        {"Src\\\\Src_NV/x\\y.c", "Src/Src_NV/x/y.c"},
        {"Src\\Src_NV\\..\\..\\outside.c", "outside.c"},
        {"Src\\..\\..\\..\\etc\\passwd", "etc/passwd"},
        {"..\\", ""},
    };
    for (const auto& [file, uri] : rows) {
        std::string out;
        appendUriPath(out, file);
        EXPECT_EQ(out, uri) << file;
    }
    EXPECT_EQ(uriReference("https://git.example.com/a/b.git?x=1#y"),
              "https://git.example.com/a/b.git?x=1#y");
    EXPECT_EQ(uriReference("https://x/\"a b\"/\xe9"), "https://x/%22a%20b%22/%E9");
    std::string path;
    appendJsonPath(path, "Src\\Src_NV\\a \"b\".c");
    EXPECT_EQ(path, R"("Src/Src_NV/a \"b\".c")");
}

// Any bytes give a JSON string that a JSON library reads back; text that is valid UTF-8
// comes back unchanged.
TEST(JsonText, RandomBytesGiveValidJson) {
    std::mt19937_64 random(20261208);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(random() % 40, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random() % 4 == 0 ? random() % 0x80 : random());
        }
        const std::string json = jsonOf(bytes);
        nlohmann::json parsed;
        ASSERT_NO_THROW(parsed = nlohmann::json::parse(json)) << json;
        ASSERT_TRUE(parsed.is_string()) << json;
        const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (ascii) {
            EXPECT_EQ(parsed.get<std::string>(), bytes) << json;
        }
    }
    const std::string utf8 = "\xc3\xa9t\xc3\xa9 \xe2\x82\xac \"q\" \n \xf0\x9f\x98\x80";
    EXPECT_EQ(nlohmann::json::parse(jsonOf(utf8)).get<std::string>(), utf8);
}

} // namespace
} // namespace vendrik
