#include "parse/report_reader.h"

#include "test_support/findings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <sstream>

namespace vendrik {
namespace {

using test_support::findingLess;
using test_support::makeFinding;
using test_support::sameFinding;

std::string warning(const std::string& file, int line, int priority, int message,
                    const std::string& text = "t", const std::string& reference = " x") {
    return "D:\\p\\Src\\Src_NV\\" + file + " (" + std::to_string(line) + ") : warning : QAC(Prio" +
           std::to_string(priority) + ") Msg: " + std::to_string(message) + "(" + text +
           ".) Ref:" + reference;
}

FindingsList read(const std::string& report) {
    std::istringstream input(report);
    FindingsList findings;
    readReport(input, findings);
    return findings;
}

/// The fields that order findings, and the priority.
std::string describe(const Finding& f) {
    return std::string(f.file) + ":" + std::to_string(f.line) + ":" +
           std::to_string(f.messageNumber) + ":" + std::string(f.messageText) + ":" +
           std::to_string(f.priority) + "|";
}

std::string describe(const FindingsList& list) {
    std::string text;
    for (std::size_t i = 0; i < list.findings.size(); ++i) {
        text += describe(findingAt(list, i));
    }
    return text;
}

TEST(ReportReader, SortsAndDropsDuplicates) {
    const std::string report =
        warning("b.c", 10, 1, 1) + "\n" + warning("a.c", 10, 1, 3200) + "\n" +
        warning("a.c", 10, 1, 2981) + "\n" + warning("a.c", 9, 1, 5000) + "\n" +
        warning("B.c", 1, 1, 1) + "\n" + warning("a.c", 9, 1, 5000) + "\n" +
        warning("a.c", 9, 7, 5000, "t", " other") + "\n" + warning("a.c", 9, 1, 5000, "s") + "\n";
    EXPECT_EQ(describe(read(report)),
              "Src\\Src_NV\\B.c:1:1:t:1|Src\\Src_NV\\a.c:9:5000:s:1|Src\\Src_NV\\a.c:9:5000:t:1|"
              "Src\\Src_NV\\a.c:10:2981:t:1|Src\\Src_NV\\a.c:10:3200:t:1|"
              "Src\\Src_NV\\b.c:10:1:t:1|");
}

TEST(ReportReader, ReadsLineEndsOfEveryKind) {
    const std::string a = warning("a.c", 1, 1, 1);
    const std::string b = warning("b.c", 2, 2, 2);
    const std::string expected = describe(read(a + "\n" + b + "\n"));
    ASSERT_EQ(expected, "Src\\Src_NV\\a.c:1:1:t:1|Src\\Src_NV\\b.c:2:2:t:2|");
    EXPECT_EQ(describe(read(a + "\r\n" + b + "\r\n")), expected);
    EXPECT_EQ(describe(read(a + "\n" + b)), expected);
    EXPECT_EQ(describe(read(a + "\r\n" + b)), expected);
    EXPECT_EQ(describe(read("header line\r\n\r\n" + a + "\r\n\n" + b + "\r\nsummary: 2\r\n")),
              expected);
    // A CR that does not end a line stays in it: here it ends the last reference text.
    const FindingsList last = read(a + "\n" + b + "\r");
    ASSERT_EQ(last.findings.size(), 1u); // a reference text cannot end in CR
}

TEST(ReportReader, SurvivesInputThatIsNoReport) {
    EXPECT_TRUE(read("").findings.empty());
    EXPECT_TRUE(read("\r\r\r\r").findings.empty());
    EXPECT_TRUE(read("\n\n\n").findings.empty());
    EXPECT_TRUE(read(std::string(1000, '\0')).findings.empty());
    std::string binary;
    for (int i = 0; i < 4096; ++i) {
        binary += static_cast<char>((i * 7919) % 256);
    }
    EXPECT_TRUE(read(binary).findings.empty());
    // A warning with NUL and high bytes in its texts is still a warning.
    const std::string odd = warning("\xe4\xf6.c", 1, 1, 1, std::string("a\0b\xff", 4));
    const FindingsList list = read(odd + "\n" + binary);
    ASSERT_EQ(list.findings.size(), 1u);
    EXPECT_EQ(findingAt(list, 0).file, "Src\\Src_NV\\\xe4\xf6.c");
    EXPECT_EQ(findingAt(list, 0).messageText, std::string_view("a\0b\xff", 4));
}

TEST(ReportReader, ReadsLinesAcrossBlocksAndLongerThanABlock) {
    std::string report;
    for (int i = 0; i < 30000; ++i) {
        report += warning(std::to_string(i % 7) + ".c", i, i % 10, 1000 + i % 3) +
                  (i % 2 == 0 ? "\r\n" : "\n");
    }
    const std::string longText(3'000'000, 'x');
    report += warning("long.c", 1, 9, 1, longText) + "\r\n";
    report += warning("last.c", 2, 8, 2, "end"); // no line end
    const FindingsList list = read(report);
    ASSERT_EQ(list.findings.size(), 30002u);
    const Finding last = findingAt(list, 30000); // after the files named by digits
    EXPECT_EQ(last.file, "Src\\Src_NV\\last.c");
    EXPECT_EQ(last.messageText, "end");
    const Finding longest = findingAt(list, list.findings.size() - 1);
    EXPECT_EQ(longest.file, "Src\\Src_NV\\long.c");
    EXPECT_EQ(longest.messageText.size(), longText.size());
    EXPECT_EQ(longest.referenceText, " x");
}

/// The report's findings read the plain way: split at LF (a CR right before it dropped),
/// every line parsed, sorted, equal neighbours dropped.
std::string describePlainReading(const std::string& report) {
    std::vector<Finding> findings;
    for (std::size_t start = 0; start < report.size();) {
        std::size_t lineFeed = report.find('\n', start);
        std::string_view line(report);
        line = line.substr(start,
                           lineFeed == std::string::npos ? std::string::npos : lineFeed - start);
        if (lineFeed != std::string::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (const Finding finding = makeFinding(line); finding.recognised) {
            findings.push_back(finding);
        }
        start = lineFeed == std::string::npos ? report.size() : lineFeed + 1;
    }
    std::sort(findings.begin(), findings.end(), findingLess);
    findings.erase(std::unique(findings.begin(), findings.end(), sameFinding), findings.end());
    std::string text;
    for (const Finding& finding : findings) {
        text += describe(finding);
    }
    return text;
}

// The reader takes the input in blocks (reportReadBlock). Here the first block ends at every
// byte of a few lines in turn: CR LF, a CR inside a line (in front of "Ref", where a
// warning may hold one, and in a message text or a path, where it may not) and a lone CR
// at the end.
TEST(ReportReader, FindsLineEndsWhereverABlockEnds) {
    const std::string lines =
        warning("a.c", 1, 1, 1, "t", " x") + "\r\n" +
        "D:\\p\\Src\\Src_NV\\b.c (2) : warning : QAC(Prio2) Msg: 2(u.) \r Ref: y" + "\r\n" +
        warning("c.c", 3, 3, 3, "u\rv") + "\r\n" + warning("e\r.c", 5, 5, 5) + "\r\n" +
        warning("d.c", 4, 4, 4) + "\r";
    const std::size_t block = reportReadBlock;
    for (std::size_t shift = 0; shift <= lines.size() + 2; ++shift) {
        const std::string report = std::string(block - shift, 'h') + "\r\n" + lines;
        const std::string expected = describePlainReading(report);
        ASSERT_EQ(describe(read(report)), expected) << "block ends " << shift << " bytes early";
        ASSERT_NE(expected.find("b.c"), std::string::npos);
        ASSERT_EQ(expected.find("c.c"), std::string::npos);
        ASSERT_EQ(expected.find(".c:5"), std::string::npos);
        ASSERT_EQ(expected.find("d.c"), std::string::npos); // its reference ends in CR
    }
}

/// The fields sameFinding compares.
std::string sameFindingFields(const Finding& f) {
    return std::string(f.file) + "|" + std::to_string(f.line) + "|" +
           std::to_string(f.messageNumber) + "|" + std::string(f.messageText);
}

/// Every field of a finding, texts by value.
std::string describeAll(const Finding& f) {
    return std::string(f.file) + "|" + std::to_string(f.line) + "|" +
           std::to_string(f.messageNumber) + "|" + std::string(f.messageText) + "|" +
           std::to_string(f.priority) + "|" + std::string(f.referenceText) + "|" +
           std::string(f.ruleStandard) + "|" + std::to_string(f.ruleNumber) + "|" +
           std::to_string(f.ruleSubNumber);
}

// The reader against the plain reading: parse every line, sort the whole list, drop equal
// neighbours. Many lines share files, texts and references, and many are duplicates, some
// differing only in priority or reference (then either may survive).
TEST(ReportReader, AgreesWithSortingAndDroppingDuplicatesOfEveryParsedLine) {
    const std::string files[] = {"a.c", "B.c", "a.cpp", "b.c", "dir\\a.c", "a.c.c"};
    const std::string texts[] = {"t", "", "t.)", "Some text", "Some texu", "T"};
    const std::string references[] = {" ",
                                      " x",
                                      "MISRA C:2012 Rule-1.2",
                                      " MISRA C:2012 Rule-1.2",
                                      "MISRA C:2012 Dir-4.1",
                                      "MISRA C:2004 Rule-10.10 (req)"};
    std::mt19937_64 random(7);
    const auto pick = [&](const auto& options) { return options[random() % std::size(options)]; };
    for (int round = 0; round < 20; ++round) {
        std::string report;
        std::vector<Finding> plain;
        std::vector<std::string> lines;
        for (int i = 0; i < 400; ++i) {
            lines.push_back(warning(
                pick(files), static_cast<int>(random() % 12), static_cast<int>(random() % 10),
                static_cast<int>(random() % 3 * 2000), pick(texts), pick(references)));
            report += lines.back() + (i % 3 == 0 ? "\r\n" : "\n");
        }
        std::map<std::string, std::set<std::string>> candidates; // by the sameFinding fields
        for (const std::string& line : lines) {
            const Finding finding = makeFinding(line);
            ASSERT_TRUE(finding.recognised) << line;
            plain.push_back(finding);
            candidates[sameFindingFields(finding)].insert(describeAll(finding));
        }
        std::sort(plain.begin(), plain.end(), findingLess);
        plain.erase(std::unique(plain.begin(), plain.end(), sameFinding), plain.end());

        const FindingsList list = read(report);
        ASSERT_EQ(list.findings.size(), plain.size());
        for (std::size_t i = 0; i < plain.size(); ++i) {
            const Finding finding = findingAt(list, i);
            const std::string key = sameFindingFields(finding);
            ASSERT_EQ(key, sameFindingFields(plain[i])) << "finding " << i;
            EXPECT_EQ(candidates[key].count(describeAll(finding)), 1u) << describeAll(finding);
        }
    }
}

TEST(ReportReader, ReplacesWhatTheListHeldBefore) {
    FindingsList list = read(warning("old.c", 1, 1, 1));
    ASSERT_EQ(list.findings.size(), 1u);
    std::istringstream input(warning("new.c", 1, 1, 1));
    readReport(input, list);
    ASSERT_EQ(list.findings.size(), 1u);
    EXPECT_EQ(findingAt(list, 0).file, "Src\\Src_NV\\new.c");
}

TEST(FindingOrder, ComparesBytesAsUnsigned) {
    Finding low;
    low.file = "Src\\Src_NV\\a.c";
    Finding high = low;
    high.file = "Src\\Src_NV\\\xe4.c";
    EXPECT_TRUE(findingLess(low, high));
    EXPECT_FALSE(findingLess(high, low));
    Finding prefix = low;
    prefix.file = "Src\\Src_NV\\a";
    EXPECT_TRUE(findingLess(prefix, low));
    Finding other = low;
    other.priority = 9;
    other.referenceText = "r";
    EXPECT_TRUE(sameFinding(low, other));
    EXPECT_FALSE(findingLess(low, other));
    EXPECT_FALSE(findingLess(other, low));
}

} // namespace
} // namespace vendrik
