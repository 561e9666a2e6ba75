#include "driver/version_banner.h"

#include "driver/build_date.h"
#include "driver/version_information.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <sstream>

namespace vendrik {
namespace {

// The record the test source serves; the lookups go through the platform layer's own
// block format and query.
VersionRecord served;
bool fillFails = false;

VersionInformationSource recordSource() {
    return {[](const char*) {
                return static_cast<unsigned long>(encodeVersionInformation(served).size());
            },
            [](const char*, unsigned long size, void* block) {
                const auto encoded = encodeVersionInformation(served);
                if (fillFails || size < encoded.size()) {
                    return false;
                }
                std::memcpy(block, encoded.data(), encoded.size());
                return true;
            },
            verQueryValue};
}

std::string bannerFor(const VersionRecord& record, bool failFill = false) {
    served = record;
    fillFails = failFill;
    std::ostringstream console;
    printVersionBanner("/usr/bin/vendrik", console, recordSource());
    return console.str();
}

VersionRecord withVersion(std::uint32_t major, std::uint32_t minor) {
    VersionRecord record = builtInVersionRecord();
    record.fixedInfo.fileVersionMS = (major << 16) | minor;
    record.fixedInfo.fileVersionLS = 0x00030007;
    return record;
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
    const struct {
        std::uint32_t major, minor;
        std::string shown;
    } rows[] = {{10, 15, "10.15"}, {1, 0, "1.0"}, {0, 0, "0.0"}, {65535, 65535, "65535.65535"}};
    for (const auto& row : rows) {
        EXPECT_EQ(bannerFor(withVersion(row.major, row.minor)),
                  "vendrik version " + row.shown + " from " + buildDate() +
                      "\nCopyright (c) 2026 The Vendrik developers\n");
    }
}

TEST(VersionBanner, LeavesMissingTextsEmpty) {
    VersionRecord noName = builtInVersionRecord();
    noName.strings.erase(noName.strings.begin());
    EXPECT_EQ(bannerFor(noName),
              " version 1.2 from " + buildDate() + "\nCopyright (c) 2026 The Vendrik developers\n");

    VersionRecord otherLanguage = builtInVersionRecord();
    otherLanguage.translation = "040704b0";
    EXPECT_EQ(bannerFor(otherLanguage), " version 1.2 from " + buildDate() + "\n\n");
}

TEST(VersionBanner, SaysNothingWithoutVersionInformation) {
    VersionRecord noFixedPart = builtInVersionRecord();
    noFixedPart.hasFixedInfo = false;
    EXPECT_EQ(bannerFor(noFixedPart), "");
    EXPECT_EQ(bannerFor(builtInVersionRecord(), true), "");

    std::ostringstream console;
    printVersionBanner("x", console,
                       {[](const char*) { return 0UL; },
                        [](const char*, unsigned long, void*) { return true; }, verQueryValue});
    EXPECT_EQ(console.str(), "");
}

} // namespace
} // namespace vendrik
