#include "parse/finding.h"

#include "parse/rule_reference.h"

#include "test_support/findings.h"

#include <gtest/gtest.h>

namespace vendrik {
namespace {

using test_support::makeFinding;

const std::string head = "D:\\work\\proj\\Src\\Src_NV\\Core\\io_buffer.c (142) : warning : "
                         "QAC(Prio3) Msg: 3200(Function return value is not used.) [U] Ref:";

void expectFresh(const Finding& finding, const std::string& line) {
    EXPECT_FALSE(finding.recognised) << line;
    EXPECT_EQ(finding.file, "") << line;
    EXPECT_EQ(finding.line, 0u) << line;
    EXPECT_EQ(finding.priority, 0u) << line;
    EXPECT_EQ(finding.messageNumber, 0u) << line;
    EXPECT_EQ(finding.messageText, "") << line;
    EXPECT_EQ(finding.referenceText, "") << line;
    EXPECT_EQ(finding.ruleStandard, "") << line;
    EXPECT_EQ(finding.ruleNumber, 0u) << line;
    EXPECT_EQ(finding.ruleSubNumber, 0u) << line;
}

TEST(Finding, TakesEveryFieldFromAWarningLine) {
    const std::string line = head + " MISRA C:2012 Rule-17.7";
    const Finding finding = makeFinding(line); // its texts view `line`
    EXPECT_TRUE(finding.recognised);
    EXPECT_EQ(finding.file, "Src\\Src_NV\\Core\\io_buffer.c");
    EXPECT_EQ(finding.line, 142u);
    EXPECT_EQ(finding.priority, 3u);
    EXPECT_EQ(finding.messageNumber, 3200u);
    EXPECT_EQ(finding.messageText, "Function return value is not used");
    EXPECT_EQ(finding.referenceText, " MISRA C:2012 Rule-17.7");
    // A reference text that starts with a blank names no rule.
    EXPECT_EQ(finding.ruleStandard, "");
    EXPECT_EQ(finding.ruleNumber, 0u);
    EXPECT_EQ(finding.ruleSubNumber, 0u);
}

TEST(Finding, TakesTheRuleFromAReferenceWithoutLeadingBlank) {
    const std::string line = head + "MISRA C:2012 Rule-17.7";
    const Finding finding = makeFinding(line);
    EXPECT_TRUE(finding.recognised);
    EXPECT_EQ(finding.referenceText, "MISRA C:2012 Rule-17.7");
    EXPECT_EQ(finding.ruleStandard, "MISRA C:2012");
    EXPECT_EQ(finding.ruleNumber, 17u);
    EXPECT_EQ(finding.ruleSubNumber, 7u);

    const std::string blankLine = head + " ";
    const Finding blank = makeFinding(blankLine);
    EXPECT_TRUE(blank.recognised);
    EXPECT_EQ(blank.referenceText, " ");
    EXPECT_EQ(blank.ruleStandard, "");
}

TEST(Finding, ErrorAndWarningLinesGiveTheSameRecord) {
    std::string errorLine = head + "MISRA C:2012 Dir-4.6";
    errorLine.replace(errorLine.find("warning"), 7, "error");
    const std::string warningLine = head + "MISRA C:2012 Dir-4.6";
    const Finding warning = makeFinding(warningLine);
    const Finding error = makeFinding(errorLine);
    EXPECT_TRUE(error.recognised);
    EXPECT_EQ(error.file, warning.file);
    EXPECT_EQ(error.messageText, warning.messageText);
    EXPECT_EQ(error.ruleNumber, 4u);
    EXPECT_EQ(error.ruleSubNumber, 6u);
}

TEST(Finding, SaturatesNumbersBeyond32Bits) {
    const Finding finding = makeFinding(
        "Src\\Src_NV\\a.c (4294967296) : warning : QAC(Prio3) Msg: 99999999999999999999(t.) "
        "Ref:MISRA C:2012 Rule-4294967295.00004294967297");
    EXPECT_TRUE(finding.recognised);
    EXPECT_EQ(finding.file, "Src\\Src_NV\\a.c");
    EXPECT_EQ(finding.line, 4294967295u);
    EXPECT_EQ(finding.messageNumber, 4294967295u);
    EXPECT_EQ(finding.priority, 3u);
    EXPECT_EQ(finding.messageText, "t");
    EXPECT_EQ(finding.ruleNumber, 4294967295u);
    EXPECT_EQ(finding.ruleSubNumber, 4294967295u);

    const Finding padded = makeFinding(
        "Src\\Src_NV\\a.c (0000000000000000000001) : warning : QAC(Prio3) Msg: 0857(t.) Ref: x");
    EXPECT_EQ(padded.line, 1u);
    EXPECT_EQ(padded.messageNumber, 857u);
}

TEST(Finding, LeavesTheRecordFreshForLinesOutsideTheTreeOrGrammar) {
    const std::string lines[] = {
        "D:\\work\\src\\src_nv\\io.c (1) : warning : QAC(Prio3) Msg: 1(t.) Ref: MISRA C:2012 "
        "Rule-1.1",
        "D:/work/Src/Src_NV/io.c (1) : warning : QAC(Prio3) Msg: 1(t.) Ref: x",
        "Src\\Src_NV\\io.c (1) : warning : QAC(Prio3) Msg: 1(t) Ref: x",
        "",
        std::string("Src\\Src_NV\\io.c (1) : warning : QAC(Prio3) Msg: 1(t.) Ref:\n x"),
    };
    for (const std::string& line : lines) {
        Finding finding;
        EXPECT_FALSE(parseReportLine(finding, line)) << line;
        expectFresh(finding, line);
    }
}

TEST(Finding, CutsTextInFrontOfThePath) {
    const Finding finding = makeFinding(
        "12 tool says: C:\\x\\Src\\Src_NV\\io.h (1) : error : QAC(Prio0) Msg: 1(t.) Ref: x");
    EXPECT_TRUE(finding.recognised);
    EXPECT_EQ(finding.file, "Src\\Src_NV\\io.h");
    EXPECT_EQ(finding.priority, 0u);
}

TEST(RuleReference, TakesTheLastOfSeveralReferences) {
    const auto reference = parseRuleReference("MISRA C:2012 Rule-17.7; MISRA C:2012 Rule-2.2");
    ASSERT_TRUE(reference.has_value());
    EXPECT_EQ(reference->ruleStandard, "MISRA C:2012 Rule-17.7; MISRA C:2012");
    EXPECT_EQ(reference->ruleNumber, 2u);
    EXPECT_EQ(reference->ruleSubNumber, 2u);
    EXPECT_FALSE(parseRuleReference("").has_value());
    EXPECT_FALSE(parseRuleReference("MISRA C:2012 Rule 8.4").has_value());
}

} // namespace
} // namespace vendrik
