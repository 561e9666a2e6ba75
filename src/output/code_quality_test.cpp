#include "output/code_quality.h"

#include "test_support/findings.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace vendrik {
namespace {

using nlohmann::json;
using test_support::testFinding;

json reportOf(std::vector<Finding> findings, std::optional<std::size_t> cap = std::nullopt) {
    const FindingsList list = test_support::sortedList(std::move(findings));
    std::string text;
    EXPECT_TRUE(writeCodeQuality(
        list,
        [&](std::string_view piece) {
            text += piece;
            return true;
        },
        selectReviewFindings(list, cap)));
    return json::parse(text);
}

TEST(CodeQuality, KeepsTheMostSeriousUnderACap) {
    const std::vector<Finding> findings = {testFinding("Src\\Src_NV\\a.c", 1, 2),
                                           testFinding("Src\\Src_NV\\a.c", 2, 8),
                                           testFinding("Src\\Src_NV\\b.c", 3, 5)};
    const json issues = reportOf(findings, 2);
    ASSERT_EQ(issues.size(), 2u);
    EXPECT_EQ(issues[0]["location"]["lines"]["begin"], 2);
    EXPECT_EQ(issues[1]["location"]["lines"]["begin"], 3);
    EXPECT_EQ(issues[0]["fingerprint"], reportOf(findings)[1]["fingerprint"]);
    EXPECT_TRUE(reportOf(findings, 0).empty());
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
    EXPECT_EQ(issues[2]["categories"], json({"Complexity"})) << "HIS";
    EXPECT_NE(issues[0]["fingerprint"], issues[1]["fingerprint"]);
    EXPECT_EQ(reportOf({}), json::array());
}

} // namespace
} // namespace vendrik
