#include "output/summary_report.h"

#include "test_support/findings.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vendrik {
namespace {

Finding summaryFinding(const std::string& file, std::uint32_t line, std::uint32_t priority,
                       std::uint32_t messageNumber) {
    return test_support::testFinding(file, line, priority, messageNumber);
}

OutputLines summaryOf(std::vector<Finding> findings, std::string_view platform = "HostPC",
                      std::string_view project = "Demo") {
    const FindingsList list = test_support::sortedList(std::move(findings));
    const auto ranked = rankFileFindings(groupFindingsByFile(list));
    OutputLines lines;
    appendSummaryReport(lines, ranked, wholeList(list), "2020.03.14", "09:05:42", platform,
                        project);
    return lines;
}

TEST(SummaryReport, WritesSectionsFilesAndTotals) {
    const OutputLines expected = {
        "[files]",
        R"(2020.03.14, 09:05:42 HostPC\Src\Src_NV\app\main.c, "3" ,"0", "1", "1", "1")",
        R"(2020.03.14, 09:05:42 HostPC\Src\Src_NV\app\util.c, "2" ,"2", "0", "0", "0")",
        "",
        "[totals]",
        R"(Number of files with warnings/errors : "2")",
        R"(Number of unique warnings/errors____ : "5" ,"2", "1", "1", "1")",
        "",
        "[info]",
        "Platform___: HostPC",
        "ProjectName: Demo",
        "Tool_______: QAC 8.1.2.R",
        "",
    };
    EXPECT_EQ(summaryOf({
                  summaryFinding("Src\\Src_NV\\app\\util.c", 7, 9, 2880),
                  summaryFinding("Src\\Src_NV\\app\\main.c", 10, 2, 2981),
                  summaryFinding("Src\\Src_NV\\app\\main.c", 20, 6, 3450),
                  summaryFinding("Src\\Src_NV\\app\\main.c", 30, 4, 5305),
                  summaryFinding("Src\\Src_NV\\app\\util.c", 5, 8, 1503),
              }),
              expected);
}

TEST(SummaryReport, WritesTheFixedLinesWithoutFindingsAndValuesVerbatim) {
    const OutputLines expected = {
        "[files]",
        "",
        "[totals]",
        R"(Number of files with warnings/errors : "0")",
        R"(Number of unique warnings/errors____ : "0" ,"0", "0", "0", "0")",
        "",
        "[info]",
        "Platform___: ",
        R"(ProjectName: a "b", \c)",
        "Tool_______: QAC 8.1.2.R",
        "",
    };
    EXPECT_EQ(summaryOf({}, "", R"(a "b", \c)"), expected);

    const OutputLines noPlatform = summaryOf({summaryFinding("Src\\Src_NV\\h.c", 1, 3, 5350)}, "");
    EXPECT_EQ(noPlatform[1], R"(2020.03.14, 09:05:42 \Src\Src_NV\h.c, "1" ,"0", "0", "0", "1")");
}

TEST(SummaryReport, ListsBandsFromHighToLow) {
    PriorityBandCounts counts;
    counts.allFindings = 7;
    counts.priority8to9 = 2;
    counts.priority5to7 = 3;
    counts.priority0to4 = 1;
    counts.his = 1;
    EXPECT_EQ(bandCountsValueList(counts), R"("7" ,"2", "3", "1", "1")");
    counts.allFindings = 18446744073709551615u;
    EXPECT_EQ(bandCountsValueList(counts), R"("18446744073709551615" ,"2", "3", "1", "1")");
}

} // namespace
} // namespace vendrik
