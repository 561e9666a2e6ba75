#include "parse/line_matcher.h"

#include "test_support/reference_comparison.h"
#include "test_support/report_line_generator.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace vendrik {
namespace {

std::string printable(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f) {
            static constexpr char hex[] = "0123456789abcdef";
            shown += "\\x";
            shown += hex[byte >> 4];
            shown += hex[byte & 15];
        } else {
            shown += c;
        }
    }
    return shown;
}

/// The matcher and the std::regex reference agree on `text`; returns the reference's
/// verdict.
bool expectAsReference(std::string_view text, const test_support::Comparison& comparison) {
    EXPECT_FALSE(comparison.difference.has_value())
        << printable(*comparison.difference) << "; text: " << printable(text);
    return comparison.referenceMatched;
}

bool expectReportLineAsReference(std::string_view line) {
    return expectAsReference(line, test_support::compareReportLine(line));
}

bool expectRuleReferenceAsReference(std::string_view text) {
    return expectAsReference(text, test_support::compareRuleReference(text));
}

const std::string example = "D:\\work\\proj\\Src\\Src_NV\\Core\\io_buffer.c (142) : warning : "
                            "QAC(Prio3) Msg: 3200(Function return value is not used.) [U] "
                            "Ref: MISRA C:2012 Rule-17.7";

TEST(LineMatcher, ReadsTheFieldsOfReportLines) {
    struct Row {
        std::string line;
        std::string path, lineNumber, priority, message, text, freeText, reference;
    };
    const Row rows[] = {
        {example, "D:\\work\\proj\\Src\\Src_NV\\Core\\io_buffer.c", "142", "3", "3200",
         "Function return value is not used", " [U]", " MISRA C:2012 Rule-17.7"},
        {"x.h (1) ; error ; QAC(Prio9) Msg? 1(a.) Ref!", "x.h", "1", "9", "1", "a", "", ""},
        {"x.hpp (1) : warning : QAC(Prio1) Msg: 12(a.) Ref: b", "x.hpp", "1", "1", "12", "a", "",
         " b"},
        {"x.c (1) : warning : QAC(Prio1) Msg: 12(Too many (nested) levels (3.) of includes.) "
         "Ref: b",
         "x.c", "1", "1", "12", "Too many (nested) levels (3.) of includes", "", " b"},
        {"x.c (1) : warning : QAC(Prio1) Msg: 12(a.) t Ref: see Ref: y", "x.c", "1", "1", "12", "a",
         " t Ref: see", " y"},
        {"x.c (1) : warning : QAC(Prio1) Msg: 12(a.) Ref:: b", "x.c", "1", "1", "12", "a", "",
         ": b"},
        {"x.c (1) : warning : QAC(Prio1) Msg: 12(a.)  x  Ref: b", "x.c", "1", "1", "12", "a",
         "  x ", " b"},
        {"x.c (1) : warning : QAC(Prio1) Msg: 12(a.) b.) c Ref: d", "x.c", "1", "1", "12", "a.) b",
         " c", " d"},
        {"pre x.c (1) : warning : QAC(Prio1) Msg: 12(a.) y.c (2) : Ref: d", "pre x.c", "1", "1",
         "12", "a", " y.c (2) :", " d"},
        {"x.c (1) : warning : QAC(Prio1) Msg: 12(a.) t \r\n Ref: z", "x.c", "1", "1", "12", "a",
         " t ", " z"},
    };
    for (const Row& row : rows) {
        ReportLineGroups groups;
        ASSERT_TRUE(test_support::matchWholeReportLine(row.line, groups)) << printable(row.line);
        EXPECT_EQ(groups[1], row.path) << printable(row.line);
        EXPECT_EQ(groups[2], row.lineNumber) << printable(row.line);
        EXPECT_EQ(groups[4], row.priority) << printable(row.line);
        EXPECT_EQ(groups[5], row.message) << printable(row.line);
        EXPECT_EQ(groups[6], row.text) << printable(row.line);
        EXPECT_EQ(groups[7], row.freeText) << printable(row.line);
        EXPECT_EQ(groups[8], "Ref") << printable(row.line);
        EXPECT_EQ(groups[9], row.reference) << printable(row.line);
        expectReportLineAsReference(row.line);
    }
}

TEST(LineMatcher, RejectsLinesOutsideTheGrammar) {
    const std::string good = "x.c (1) : warning : QAC(Prio1) Msg: 12(a.) Ref: b";
    const std::string bad[] = {
        "x.p (1) : warning : QAC(Prio1) Msg: 12(a.) Ref: b",
        "x.cc (1) : warning : QAC(Prio1) Msg: 12(a.) Ref: b",
        "x.C (1) : warning : QAC(Prio1) Msg: 12(a.) Ref: b",
        "x.c(1) : warning : QAC(Prio1) Msg: 12(a.) Ref: b",
        "x.c (1) : Warning : QAC(Prio1) Msg: 12(a.) Ref: b",
        "x.c (1) : warning : QAC(Prio10) Msg: 12(a.) Ref: b",
        "x.c (1) : warning : QAC(Prio1) Msg : 12(a.) Ref: b",
        "x.c (1) : warning : QAC(Prio1) Msg: 12 (a.) Ref: b",
        "x.c (1) : warning : QAC(Prio1) Msg: 12(a) Ref: b",
        "x.c (1) : warning : QAC(Prio1) Msg: 12(a.)Ref: b",
        "x.c (1) : warning : QAC(Prio1) Msg: 12(a.) Ref: b\rc",
        "x.c (1) : warning : QAC(Prio1) Msg: 12(a.\n) Ref: b",
        "\nx.c (1) : warning : QAC(Prio1) Msg: 12(a.) Ref: b",
        "",
        "Ref: b",
        good.substr(0, good.size() - 6),
    };
    for (const std::string& line : bad) {
        ReportLineGroups groups;
        EXPECT_FALSE(test_support::matchWholeReportLine(line, groups)) << printable(line);
        expectReportLineAsReference(line);
    }
}

TEST(LineMatcher, ReadsRuleReferences) {
    struct Row {
        std::string text;
        bool matches;
        std::string standard, number, subNumber;
    };
    const Row rows[] = {
        {"MISRA C:2012 Rule-17.7", true, "MISRA C:2012", "17", "7"},
        {"MISRA C:2012 Dir-4.6", true, "MISRA C:2012", "4", "6"},
        {"MISRA-C:2004 Rule-10.1", true, "MISRA-C:2004", "10", "1"},
        {"MISRA C:2012 Rule-8.4.1", true, "MISRA C:2012", "8", "4"},
        {"MISRA C:2012 Rule-017.07", true, "MISRA C:2012", "017", "07"},
        {"MISRA C:2012  Rule-17.7", true, "MISRA C:2012", "17", "7"},
        {"MISRA C:2012 Rule-17.7; MISRA C:2012 Rule-2.2", true,
         "MISRA C:2012 Rule-17.7; MISRA C:2012", "2", "2"},
        {" MISRA C:2012 Rule-17.7", false, "", "", ""},
        {"misra C:2012 Rule-17.7", false, "", "", ""},
        {"MISRA C 2012 Rule-1.1", false, "", "", ""},
        {"MISRA C:2012 Rule-8", false, "", "", ""},
        {"MISRA C:2012 Rule 8.4", false, "", "", ""},
        {"MISRA C:2012 Rule-1.1\r", false, "", "", ""},
        {"MISRA C:2012\r\nRule-1.1", true, "MISRA C:2012", "1", "1"},
        {"", false, "", "", ""},
    };
    for (const Row& row : rows) {
        RuleReferenceGroups groups;
        ASSERT_EQ(matchRuleReference(row.text, groups), row.matches) << printable(row.text);
        if (row.matches) {
            EXPECT_EQ(groups[1], row.standard) << printable(row.text);
            EXPECT_EQ(groups[3], row.number) << printable(row.text);
            EXPECT_EQ(groups[4], row.subNumber) << printable(row.text);
        }
        expectRuleReferenceAsReference(row.text);
    }
}

TEST(LineMatcher, AgreesWithTheReferenceOnGeneratedLines) {
    std::mt19937_64 random(20261208);
    int matched = 0;
    const int total = 100000;
    for (int i = 0; i < total && !HasFailure(); ++i) {
        matched += expectReportLineAsReference(test_support::generateReportLine(random)) ? 1 : 0;
    }
    // The generator must keep both verdicts well represented to be worth anything.
    EXPECT_GT(matched, total / 5);
    EXPECT_LT(matched, total * 4 / 5);
}

TEST(LineMatcher, AgreesWithTheReferenceOnGeneratedRuleReferences) {
    std::mt19937_64 random(17);
    int matched = 0;
    const int total = 20000;
    for (int i = 0; i < total && !HasFailure(); ++i) {
        matched +=
            expectRuleReferenceAsReference(test_support::generateRuleReference(random)) ? 1 : 0;
    }
    EXPECT_GT(matched, total / 5);
    EXPECT_LT(matched, total * 4 / 5);
}

// Every line one edit away from a valid one: each byte replaced by each byte value that
// plays a part in the grammar, deleted, or doubled.
TEST(LineMatcher, AgreesWithTheReferenceOnEveryNeighbourOfAValidLine) {
    const std::string base = "a.c (1) : error : QAC(Prio2) Msg: 34(b.) c Ref: MISRA C:1 Rule-5.6";
    const std::string bytes = std::string(" \t\r\n.():;-_0aRhpc\xff", 19) + std::string(1, '\0');
    for (std::size_t at = 0; at < base.size(); ++at) {
        for (const char replacement : bytes) {
            std::string line = base;
            line[at] = replacement;
            expectReportLineAsReference(line);
            expectRuleReferenceAsReference(
                line.substr(line.find("MISRA") == std::string::npos ? 0 : line.find("MISRA")));
        }
        std::string shorter = base;
        shorter.erase(at, 1);
        expectReportLineAsReference(shorter);
        std::string longer = base;
        longer.insert(at, 1, base[at]);
        expectReportLineAsReference(longer);
        if (HasFailure()) {
            return;
        }
    }
}

// Lines far beyond what the reference engine's recursion can take, checked against the
// fields they were built from.
TEST(LineMatcher, HandlesHugeAndAdversarialLines) {
    const std::string head = "x.c (1) : warning : QAC(Prio1) Msg: 12(";
    const std::string longText(10'000'000, 'a');
    ReportLineGroups groups;
    const std::string longLine = head + longText + ".) f Ref: r";
    ASSERT_TRUE(test_support::matchWholeReportLine(longLine, groups));
    EXPECT_EQ(groups[6].size(), longText.size());
    EXPECT_EQ(groups[9], " r");

    EXPECT_FALSE(test_support::matchWholeReportLine(head + longText + ".) f Ref", groups));

    const std::string segment = ".c (1) : warning : QAC(Prio1) Msg: 1(";
    std::string repeated;
    for (int i = 0; i < 50'000; ++i) {
        repeated += segment;
    }
    EXPECT_FALSE(test_support::matchWholeReportLine(repeated, groups));
    const std::string repeatedLine = repeated + "a.) Ref: z";
    ASSERT_TRUE(test_support::matchWholeReportLine(repeatedLine, groups));
    EXPECT_EQ(groups[1].size(), repeated.size() - segment.size() + 2);
    EXPECT_EQ(groups[9], " z");

    std::string closings;
    for (int i = 0; i < 1'000'000; ++i) {
        closings += ".)";
    }
    EXPECT_FALSE(test_support::matchWholeReportLine(closings, groups));
    const std::string closingsLine = head + closings + " Ref: z";
    ASSERT_TRUE(test_support::matchWholeReportLine(closingsLine, groups));
    EXPECT_EQ(groups[6].size(), closings.size() - 2);

    std::string references = "MISRA";
    for (int i = 0; i < 200'000; ++i) {
        references += ":1 Rule-1.";
    }
    RuleReferenceGroups ruleGroups;
    EXPECT_FALSE(matchRuleReference(references, ruleGroups));
    references += "2";
    ASSERT_TRUE(matchRuleReference(references, ruleGroups));
    EXPECT_EQ(ruleGroups[4], "2");
}

} // namespace
} // namespace vendrik
