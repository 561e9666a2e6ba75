#include "driver/version_banner.h"

#include "driver/build_date.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>

namespace vendrik {
namespace {

const std::string english = "\\StringFileInfo\\040904b0\\";
const std::string german = "\\StringFileInfo\\040704b0\\";

/// A query that answers with `version` (nothing for std::nullopt) and the `texts` by path.
VersionQuery fakeQuery(std::optional<std::uint32_t> version,
                       std::map<std::string, std::string> texts) {
    return {[version] { return version; },
            [texts](const std::string& subBlock) -> std::optional<std::string> {
                const auto found = texts.find(subBlock);
                return found == texts.end() ? std::nullopt : std::optional(found->second);
            }};
}

std::string bannerOf(const VersionQuery& query) {
    std::ostringstream console;
    printVersionBanner(query, console);
    return console.str();
}

TEST(VersionBanner, PrintsNameVersionDateAndNotice) {
    std::ostringstream console;
    printVersionBanner("/any/path", console);
    EXPECT_EQ(console.str(), "vendrik version 1.2 from " + buildDate() +
                                 "\nCopyright (c) 2026 The Vendrik developers\n");
    EXPECT_TRUE(std::regex_match(buildDate(), std::regex("[A-Z][a-z]{2} [ 123][0-9] [0-9]{4}")))
        << buildDate();
}

TEST(VersionBanner, ShowsMajorAndMinorOnly) {
    const std::pair<std::uint32_t, std::string> rows[] = {
        {10 << 16 | 15, "10.15"}, {1 << 16, "1.0"}, {0, "0.0"}, {0xFFFFFFFF, "65535.65535"}};
    for (const auto& [version, shown] : rows) {
        EXPECT_EQ(bannerOf(fakeQuery(version, {{english + "OriginalFilename", "V.exe"},
                                               {english + "LegalCopyright", "(c) Us"}})),
                  "V.exe version " + shown + " from " + buildDate() + "\n(c) Us\n")
            << version;
    }
}

TEST(VersionBanner, LeavesMissingTextsEmpty) {
    const std::pair<std::map<std::string, std::string>, std::string> rows[] = {
        {{{english + "LegalCopyright", "(c) Us"}},
         " version 1.2 from " + buildDate() + "\n(c) Us\n"},
        {{{english + "OriginalFilename", "V.exe"}},
         "V.exe version 1.2 from " + buildDate() + "\n\n"},
        // Only a German string table: the banner reads the U.S. English one alone.
        {{{german + "OriginalFilename", "V.exe"}, {german + "LegalCopyright", "(c) Wir"}},
         " version 1.2 from " + buildDate() + "\n\n"},
    };
    for (const auto& [texts, expected] : rows) {
        EXPECT_EQ(bannerOf(fakeQuery(1 << 16 | 2, texts)), expected) << texts.begin()->first;
    }
}

TEST(VersionBanner, SaysNothingWithoutTheFixedFileVersion) {
    EXPECT_EQ(bannerOf(fakeQuery(std::nullopt, {{english + "OriginalFilename", "V.exe"}})), "");
}

} // namespace
} // namespace vendrik
