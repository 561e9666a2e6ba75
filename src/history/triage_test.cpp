#include "history/triage.h"

#include <gtest/gtest.h>

namespace vendrik::history {
namespace {

TrackedFinding triagedFinding(const std::string& file, std::int64_t line,
                              const std::string& origin) {
    return {origin.substr(0, origin.find('@')),
            file,
            line,
            3200,
            2,
            false,
            "Return value ignored",
            "",
            origin};
}

Decision storedDecision(const std::string& origin, const std::string& state,
                        const std::string& expires, std::int64_t sequence) {
    Decision decision;
    decision.finding.origin = origin;
    decision.state = state;
    decision.reason = "reviewed";
    decision.expires = expires;
    decision.sequence = sequence;
    return decision;
}

// One rule or stored decision on several findings: each finding gets it, with its expiry
// judged on the day given, the newest stored decision on an origin in force and rules
// first; what matches no finding is stale.
TEST(Triage, GivesEachFindingTheDecisionInForceOnTheDay) {
    const std::vector<TrackedFinding> findings = {
        triagedFinding("Src/Drivers/a.c", 10, "a@1"), triagedFinding("Src/Drivers/b.c", 20, "b@1"),
        triagedFinding("Src/App/c.c", 30, "c@1"), triagedFinding("Src/App/d.c", 40, "d@1"),
        triagedFinding("Src/App/e.c", 50, "e@1")};
    DecisionRule rule;
    rule.line = 2;
    rule.file = "Src/Drivers/*.c";
    rule.state = "accepted";
    rule.reason = "HAL";
    rule.expires = "2027-01-05"; // within the 30 days of warning
    DecisionRule unused = rule;
    unused.line = 8;
    unused.file = "Src/Other/*.c";
    const DecisionRules rules{"rules.yaml", {rule, unused}};
    const std::vector<Decision> decisions = {
        storedDecision("a@1", "confirmed", "", 1),          // the rule wins
        storedDecision("c@1", "false-positive", "", 2),     // replaced by the next
        storedDecision("c@1", "confirmed", "", 3),          // in force
        storedDecision("d@1", "accepted", "2026-12-01", 4), // expired on the day
        storedDecision("e@1", "false-positive", "2027-06-30", 5),
        storedDecision("gone@1", "accepted", "", 6)}; // on no finding
    const Triage triage =
        triageFindings(findings, decisions, rules, "P", "N", "", "2026-12-09", 30);

    ASSERT_EQ(triage.decided.size(), findings.size());
    for (const std::size_t at : {0u, 1u}) {
        ASSERT_TRUE(triage.decided[at]);
        EXPECT_EQ(triage.decided[at]->source, "rules rules.yaml:2");
        EXPECT_EQ(triage.decided[at]->decision.state, "accepted");
        EXPECT_TRUE(triage.decided[at]->suppresses());
    }
    ASSERT_TRUE(triage.decided[2] && triage.decided[3] && triage.decided[4]);
    EXPECT_EQ(triage.decided[2]->decision.sequence, 3);
    EXPECT_FALSE(triage.decided[2]->suppresses());
    EXPECT_TRUE(triage.decided[3]->expired);
    EXPECT_FALSE(triage.decided[3]->suppresses());
    EXPECT_FALSE(triage.decided[4]->expired);
    EXPECT_TRUE(triage.decided[4]->suppresses());
    EXPECT_EQ(triage.expiring, (std::vector<std::size_t>{0, 1}));
    ASSERT_EQ(triage.staleStored.size(), 1u);
    EXPECT_EQ(triage.staleStored[0].finding.origin, "gone@1");
    ASSERT_EQ(triage.staleRules.size(), 1u);
    EXPECT_EQ(triage.staleRules[0].line, 8);
}

} // namespace
} // namespace vendrik::history

namespace vendrik::history {
namespace {

// A misra selector names one reference, whole or by its end, in a compound one too.
TEST(DecisionRules, SelectEachPartOfACompoundReference) {
    TrackedFinding finding = triagedFinding("Src/a.c", 1, "a@1");
    finding.reference = "MISRA C:2012 Rule-11.3; MISRA C:2012 Rule-11.5";
    DecisionRule rule;
    for (const auto& [misra, selected] :
         {std::pair{"MISRA C:2012 Rule-11.3", true},
          {"Rule-11.5", true},
          {"Rule-11.3", true},
          {"MISRA C:2012 Rule-11.5", true},
          {"Rule-1.5", false},
          {"11.3", false},
          {"MISRA C:2012 Rule-11.3; MISRA C:2012 Rule-11.5", false}}) {
        rule.misra = misra;
        EXPECT_EQ(selects(rule, finding, "T", "P", ""), selected) << misra;
    }
}

} // namespace
} // namespace vendrik::history
