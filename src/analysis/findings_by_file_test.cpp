#include "analysis/finding_counts.h"
#include "analysis/findings_by_file.h"
#include "test_support/findings.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vendrik {
namespace {

using test_support::sortedList;

Finding finding(const std::string& file, std::uint32_t line, std::uint32_t priority = 1,
                std::uint32_t messageNumber = 1000) {
    return test_support::testFinding("Src\\Src_NV\\" + file, line, priority, messageNumber);
}

std::string order(const std::vector<FileFindings>& ranked) {
    std::string text;
    for (const FileFindings& entry : ranked) {
        text +=
            std::string(entry.file.substr(11)) + "=" + std::to_string(entry.findings.size()) + " ";
    }
    return text;
}

TEST(FindingsByFile, RanksMostFindingsFirstThenDescendingNames) {
    const FindingsList findings = sortedList({
        finding("a.c", 1),
        finding("a.c", 2),
        finding("a.c", 3),
        finding("b.c", 1),
        finding("b.c", 2),
        finding("b.c", 3),
        finding("b.c", 4),
        finding("b.c", 5),
        finding("c.c", 1),
        finding("c.c", 2),
        finding("c.c", 3),
        finding("App.c", 1),
        finding("app.c", 1),
        finding("x.c", 1),
        finding("x.cpp", 1),
        finding("\xe4.c", 1),
    });
    const FindingsByFile groups = groupFindingsByFile(findings);
    ASSERT_EQ(groups.size(), 8u);
    EXPECT_EQ(order(rankFileFindings(groups)),
              "b.c=5 c.c=3 a.c=3 \xe4.c=1 x.cpp=1 x.c=1 app.c=1 App.c=1 ");
    const FindingRange b = groups.at("Src\\Src_NV\\b.c");
    EXPECT_EQ(b.front().line, 1u);
    EXPECT_EQ(b.back().line, 5u);
}

TEST(FindingsByFile, EmptyListGivesNoGroups) {
    const FindingsList findings;
    EXPECT_TRUE(groupFindingsByFile(findings).empty());
    EXPECT_TRUE(rankFileFindings(groupFindingsByFile(findings)).empty());
    EXPECT_EQ(countPriorityBands(wholeList(findings)).allFindings, 0u);
}

TEST(FindingCounts, CountsHisApartFromThePriorities) {
    const FindingsList findings = sortedList({
        finding("a.c", 1, 0),
        finding("a.c", 2, 4),
        finding("a.c", 3, 5),
        finding("a.c", 4, 7),
        finding("a.c", 5, 8),
        finding("a.c", 6, 9),
        finding("a.c", 7, 9, 5300),
        finding("a.c", 8, 2, 5399),
        finding("a.c", 9, 3, 5299),
        finding("a.c", 10, 6, 5400),
        finding("a.c", 11, 12),
        finding("a.c", 12, 1, 0),
    });
    const FindingCounts counts = countFindings(wholeList(findings));
    EXPECT_EQ(counts.all_errors, 12u);
    EXPECT_EQ(counts.misra_0, 1u);
    EXPECT_EQ(counts.misra_1, 1u);
    EXPECT_EQ(counts.misra_2, 0u);
    EXPECT_EQ(counts.misra_3, 1u);
    EXPECT_EQ(counts.misra_4, 1u);
    EXPECT_EQ(counts.misra_5, 1u);
    EXPECT_EQ(counts.misra_6, 1u);
    EXPECT_EQ(counts.misra_7, 1u);
    EXPECT_EQ(counts.misra_8, 1u);
    EXPECT_EQ(counts.misra_9, 1u);
    EXPECT_EQ(counts.his, 2u);

    const PriorityBandCounts bands = countPriorityBands(wholeList(findings));
    EXPECT_EQ(bands.allFindings, 12u);
    EXPECT_EQ(bands.priority0to4, 4u);
    EXPECT_EQ(bands.priority5to7, 3u);
    EXPECT_EQ(bands.priority8to9, 2u);
    EXPECT_EQ(bands.his, 2u);
}

TEST(FindingCounts, HisGroupBoundaries) {
    const struct {
        std::uint32_t messageNumber;
        bool his;
    } rows[] = {{0, false},   {5299, false}, {5300, true},        {5350, true},
                {5399, true}, {5400, false}, {4294967295u, false}};
    for (const auto& row : rows) {
        EXPECT_EQ(isHisMessage(row.messageNumber), row.his) << row.messageNumber;
    }
}

} // namespace
} // namespace vendrik
