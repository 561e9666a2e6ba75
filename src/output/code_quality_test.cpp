#include "output/code_quality.h"

#include "test_support/findings.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace vendrik {
namespace {

using nlohmann::json;
using testing::testFinding;

json reportOf(std::vector<Finding> findings) {
    const FindingsList list = testing::sortedList(std::move(findings));
    std::string text;
    EXPECT_TRUE(writeCodeQuality(list, [&](std::string_view piece) {
        text += piece;
        return true;
    }));
    return json::parse(text);
}

TEST(CodeQuality, WritesOneIssuePerFinding) {
    const json issues = reportOf({testFinding("Src\\Src_NV\\d\\a.c", 0, 9, 2000, "No \"else\""),
                                  testFinding("Src\\Src_NV\\d\\a.c", 4, 6, 2000, "No \"else\""),
                                  testFinding("Src\\Src_NV\\d\\a.c", 5, 2, 5300, "Long")});
    ASSERT_TRUE(issues.is_array());
    ASSERT_EQ(issues.size(), 3u);
    EXPECT_EQ(issues[0],
              json({{"description", "No \"else\"."},
                    {"check_name", "2000"},
                    {"fingerprint", issues[0]["fingerprint"]},
                    {"severity", "critical"},
                    {"location", {{"path", "Src/Src_NV/d/a.c"}, {"lines", {{"begin", 1}}}}}}));
    EXPECT_EQ(issues[1]["severity"], "major");
    EXPECT_EQ(issues[1]["location"]["lines"]["begin"], 4);
    EXPECT_EQ(issues[2]["severity"], "minor");
    EXPECT_EQ(issues[2]["check_name"], "5300");
    EXPECT_NE(issues[0]["fingerprint"], issues[1]["fingerprint"]);
    EXPECT_EQ(reportOf({}), json::array());
}

} // namespace
} // namespace vendrik
