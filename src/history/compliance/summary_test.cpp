#include "history/compliance/summary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vendrik::history {
namespace {

/// A plan file of `text`, removed with the object.
struct PlanText {
    explicit PlanText(const std::string& name, const std::string& text)
        : path(std::filesystem::temp_directory_path() / ("vendrik-plan-" + name + ".yaml")) {
        std::ofstream(path, std::ios::binary) << text;
    }
    ~PlanText() { std::filesystem::remove(path); }
    std::string path;
};

/// The message of the StoreError that `read` throws, or "taken".
template <typename Read> std::string refusal(Read read) {
    try {
        read();
        return "taken";
    } catch (const StoreError& error) {
        return error.what();
    }
}

std::string recategorized(const std::string& guidelines, const std::string& edition = "") {
    const PlanText plan("recategorization",
                        "standard: \"MISRA C:2012\"\n" + edition + "guidelines:\n" + guidelines);
    const Catalogue catalogue = builtInCatalogue();
    return refusal([&] { readRecategorization(catalogue, plan.path); });
}

TEST(Recategorization, RefusesEachIllegalChangeNamingTheLineAndTheRule) {
    const std::string at = std::filesystem::temp_directory_path() /
                           "vendrik-plan-recategorization.yaml:3: illegal re-categorization of ";
    // Required 17.7, Advisory 15.5, Mandatory 9.1 in MISRA C:2023.
    EXPECT_EQ(recategorized("  - {guideline: \"Rule 17.7\", category: mandatory}\n"
                            "  - {guideline: \"Rule 15.5\", category: disapplied}\n"
                            "  - {guideline: \"Rule 4.2\", category: required}\n"),
              "taken");
    EXPECT_EQ(recategorized("  - {guideline: \"Rule 17.7\", category: advisory}\n"),
              at + "Rule 17.7 from required to advisory: a category may only be raised, not "
                   "lowered");
    EXPECT_EQ(recategorized("  - {guideline: \"Rule 9.1\", category: required}\n"),
              at + "Rule 9.1 from mandatory to required: a Mandatory guideline is never "
                   "re-categorized");
    EXPECT_EQ(recategorized("  - {guideline: \"Rule 9.1\", category: disapplied}\n"),
              at + "Rule 9.1 from mandatory to disapplied: a Mandatory guideline is never "
                   "re-categorized");
    EXPECT_EQ(recategorized("  - {guideline: \"Rule 17.7\", category: disapplied}\n"),
              at + "Rule 17.7 from required to disapplied: a Required guideline cannot be "
                   "disapplied, only an Advisory one");
    // The edition claimed decides the category changed from, and what it holds.
    EXPECT_EQ(recategorized("  - {guideline: \"Rule 13.6\", category: required}\n",
                            "edition: \"MISRA C:2012\"\n"),
              std::filesystem::temp_directory_path().string() +
                  "/vendrik-plan-recategorization.yaml:4: illegal re-categorization of Rule 13.6 "
                  "from mandatory to required: a Mandatory guideline is never re-categorized");
    EXPECT_NE(recategorized("  - {guideline: \"Rule 23.1\", category: required}\n",
                            "edition: \"Amendment 1\"\n")
                  .find(":4: Amendment 1 has no Rule 23.1"),
              std::string::npos);
    const Catalogue catalogue = builtInCatalogue();
    EXPECT_EQ(
        refusal([&] { readRecategorization(catalogue, std::filesystem::temp_directory_path()); }),
        std::filesystem::temp_directory_path().string() +
            ": refused: a folder, not the re-categorization plan");
    EXPECT_NE(recategorized("  - {guideline: \"Rule 2.1\", category: mandatory, by: me}\n")
                  .find(":3: unknown key 'by'"),
              std::string::npos);
}

DeviationRegister registerOf(const std::string& records) {
    const PlanText plan("register", "records:\n" + records);
    return readDeviationRegister(plan.path);
}

const std::string dev012 = "  - id: DEV-012\n"
                           "    guidelines: [\"Rule 11.3\"]\n"
                           "    files: [\"Src/Drivers/*.c\"]\n"
                           "    circumstances: register access\n"
                           "    reason: hardware\n"
                           "    risk: reviewed per driver\n"
                           "    approver: safety lead\n"
                           "    date: 2026-11-02\n";

TEST(DeviationRegister, ReadsRecordsAndRefusesIncompleteOnes) {
    const DeviationRegister read = registerOf(dev012 + "    expires: 2026-12-31\n");
    ASSERT_EQ(read.records.size(), 1U);
    const DeviationRecord& record = read.records[0];
    EXPECT_TRUE(record.covers("Rule 11.3", "Src/Drivers/adc.c", 3305));
    EXPECT_FALSE(record.covers("Rule 11.3", "Src/Drivers/sub/adc.c", 3305));
    EXPECT_FALSE(record.covers("Rule 11.4", "Src/Drivers/adc.c", 3305));
    EXPECT_EQ(read.file.sha256.size(), 64U);
    const auto message = [](const std::string& records) {
        return refusal([&] { registerOf(records); });
    };
    EXPECT_NE(
        message(dev012.substr(0, dev012.find("    risk"))).find(":2: a record needs its 'risk'"),
        std::string::npos);
    EXPECT_NE(message(dev012 + "    expires: 2026-02-30\n").find("expires: not a date"),
              std::string::npos);
    EXPECT_NE(message(dev012 + dev012).find(":10: the record DEV-012 is given twice"),
              std::string::npos);
    EXPECT_NE(message(dev012 + "    owner: me\n").find(":10: unknown key 'owner'"),
              std::string::npos);
}

// Which decisions compliance honours, per category after re-categorization.
TEST(DecisionFault, FollowsMisraRulesPerCategory) {
    const std::optional<DeviationRegister> deviations = registerOf(
        dev012 + "  - {id: DEV-013, guidelines: [\"Rule 11.3\"], circumstances: c, reason: r, "
                 "risk: k, approver: a, date: 2026-01-01, expires: 2026-06-30}\n");
    const auto fault = [&](const std::string& state, Category category,
                           const std::string& record = "",
                           const std::string& file = "Src/Drivers/adc.c") {
        Decision decision;
        decision.state = state;
        decision.record = record;
        return decisionFault(decision, "Rule 11.3", category, file, 3305, deviations, "2026-12-09");
    };
    for (const Category category :
         {Category::mandatory, Category::required, Category::advisory, Category::disapplied}) {
        EXPECT_EQ(fault("false-positive", category), "");
        EXPECT_EQ(fault("confirmed", category), "");
    }
    EXPECT_EQ(fault("accepted", Category::mandatory),
              "accepted on the Mandatory Rule 11.3: only false-positive is allowed");
    EXPECT_EQ(fault("deviation", Category::mandatory, "DEV-012"),
              "deviation on the Mandatory Rule 11.3: only false-positive is allowed");
    EXPECT_EQ(fault("accepted", Category::required),
              "accepted on the Required Rule 11.3: only false-positive, or a deviation citing a "
              "record, is allowed");
    EXPECT_EQ(fault("deviation", Category::required, "DEV-012"), "");
    EXPECT_EQ(fault("accepted", Category::advisory), "");
    EXPECT_EQ(fault("accepted", Category::disapplied), "");
    EXPECT_EQ(fault("deviation", Category::required, "DEV-099"),
              "deviation citing the unknown record DEV-099");
    EXPECT_EQ(fault("deviation", Category::advisory, "DEV-013"),
              "deviation citing the record DEV-013, expired on 2026-06-30");
    EXPECT_EQ(fault("deviation", Category::required, "DEV-012", "Src/App/main.c"),
              "deviation citing the record DEV-012, which does not cover Rule 11.3 in "
              "Src/App/main.c (message 3305)");
}

TrackedFinding referencing(const std::string& file, const std::string& reference,
                           const std::string& fingerprint) {
    TrackedFinding finding;
    finding.fingerprint = fingerprint;
    finding.file = file;
    finding.line = 1;
    finding.number = 3305;
    finding.text = "x";
    finding.reference = reference;
    return finding;
}

std::shared_ptr<const AppliedDecision> decided(const std::string& state,
                                               const std::string& record = "") {
    AppliedDecision applied;
    applied.decision.state = state;
    applied.decision.record = record;
    applied.source = "database";
    return std::make_shared<const AppliedDecision>(applied);
}

const ComplianceRow& rowOf(const ComplianceSummary& summary, const std::string& id) {
    for (const ComplianceRow& row : summary.tables.front().rows) {
        if (row.guideline->id == id) {
            return row;
        }
    }
    throw std::runtime_error("no row " + id);
}

// A finding counts in the row of every guideline it names; what the catalogue does not hold
// is listed apart; the counts reconcile with the run's total.
TEST(ComplianceSummary, CountsEachFindingInEveryRowItNamesAndReconciles) {
    CompliancePlans plans;
    plans.catalogue = builtInCatalogue();
    const PlanText recategorization("gcs-recategorization",
                                    "standard: \"MISRA C:2012\"\nguidelines:\n"
                                    "  - {guideline: \"Rule 15.5\", category: disapplied}\n"
                                    "  - {guideline: \"Rule 2.3\", category: required}\n");
    plans.claimed = readRecategorization(plans.catalogue, recategorization.path);
    plans.deviations = registerOf(dev012);
    const std::vector<TrackedFinding> findings = {
        referencing("Src/Drivers/adc.c", "MISRA C:2012 Rule-17.7; MISRA C:2012 Rule-2.2", "a"),
        referencing("Src/Drivers/adc.c", "MISRA C:2012 Rule-11.3", "b"), // deviated
        referencing("Src/App/main.c", "MISRA C:2012 Rule-11.3", "c"),    // not covered
        referencing("Src/App/main.c", "MISRA C:2012 Rule-15.5", "d"),    // disapplied
        referencing("Src/App/main.c", "MISRA C:2012 Rule-2.3", "e"),     // accepted: fault
        referencing("Src/App/main.c", "MISRA C:2012 Rule-8.4", "f"),     // false positive
        referencing("Src/App/main.c", "", "g"),                          // no reference
        referencing("Src/App/main.c", "MISRA C:2012 Rule-99.1", "h"),    // unknown
        referencing("Src/App/main.c", "MISRA-C:2004 Rule-10.1", "i"),    // another standard
        referencing("Src/App/main.c", "MISRA C:2012 Rule-4.2; MISRA C:2012 Rule-4.2", "j"),
    };
    Triage triage;
    triage.decided = {nullptr,
                      decided("deviation", "DEV-012"),
                      decided("deviation", "DEV-012"),
                      nullptr,
                      decided("accepted"),
                      decided("false-positive"),
                      nullptr,
                      nullptr,
                      nullptr,
                      decided("accepted")};
    const ComplianceSummary summary =
        summarizeCompliance({"TargetA", "Ecu", "abc", "2026.12.01", "02:00:00"}, "", findings,
                            triage, plans, "2026-12-09", 10);
    EXPECT_EQ(rowOf(summary, "Rule 17.7").open, 1);
    EXPECT_EQ(rowOf(summary, "Rule 2.2").open, 1);
    const ComplianceRow& deviated = rowOf(summary, "Rule 11.3");
    EXPECT_EQ(deviated.deviated, 1);
    EXPECT_EQ(deviated.open, 1); // the record does not cover main.c
    EXPECT_EQ(deviated.records, std::vector<std::string>{"DEV-012"});
    EXPECT_EQ(rowOf(summary, "Rule 15.5").compliance, "Disapplied");
    EXPECT_EQ(rowOf(summary, "Rule 2.3").project, Category::required);
    EXPECT_EQ(rowOf(summary, "Rule 2.3").open, 1);
    EXPECT_EQ(rowOf(summary, "Rule 8.4").compliance, "Compliant");
    EXPECT_EQ(rowOf(summary, "Rule 4.2").accepted, 1);              // once, though named twice
    EXPECT_EQ(rowOf(summary, "Rule 4.2").compliance, "Violations"); // advisory, documented
    EXPECT_EQ(rowOf(summary, "Rule 1.1").compliance, "no findings; enforcement not stated");
    ASSERT_EQ(summary.faults.size(), 2U);
    EXPECT_EQ(summary.faults[0].guideline, "Rule 11.3");
    EXPECT_EQ(summary.faults[1].fault,
              "accepted on the Required Rule 2.3: only false-positive, or a deviation citing a "
              "record, is allowed");
    EXPECT_EQ(summary.unreferenced, std::vector<std::size_t>{6});
    ASSERT_EQ(summary.unknown.size(), 1U);
    EXPECT_EQ(summary.unknown[0].why, "MISRA C:2012 has no Rule 99.1");
    ASSERT_EQ(summary.tables.size(), 2U);
    EXPECT_EQ(summary.tables[1].standard->name, "MISRA C:2004");
    EXPECT_EQ(summary.inRows, 8);
    EXPECT_EQ(summary.apart, 2);
    EXPECT_TRUE(summary.reconciled());
    EXPECT_FALSE(summary.compliant);
    EXPECT_EQ(summary.deciding,
              (std::vector<std::string>{"MISRA C:2012 Rule 2.2", "MISRA C:2012 Rule 2.3",
                                        "MISRA C:2012 Rule 11.3", "MISRA C:2012 Rule 17.7",
                                        "MISRA C:2004 Rule 10.1"}));
    const ComplianceSummary offByOne =
        summarizeCompliance({"TargetA", "Ecu", "abc", "2026.12.01", "02:00:00"}, "", findings,
                            triage, plans, "2026-12-09", 11);
    EXPECT_FALSE(offByOne.reconciled());
}

TEST(ComplianceSummary, StatesCompliantOnlyWhereEnforcementIsKnown) {
    CompliancePlans plans;
    plans.catalogue = builtInCatalogue();
    plans.claimed = defaultRecategorization(*plans.catalogue.standard("MISRA C:2012"));
    const PlanText enforcement("enforcement",
                               "default: review\nguidelines:\n"
                               "  - {guidelines: [\"Rule 17.7\", \"Dir 4.1\"], by: analyser}\n");
    plans.enforcement = readEnforcementPlan(enforcement.path);
    const ComplianceSummary summary =
        summarizeCompliance({"TargetA", "Ecu", "abc", "2026.12.01", "02:00:00"}, "", {}, Triage{},
                            plans, "2026-12-09", 0);
    EXPECT_EQ(rowOf(summary, "Rule 17.7").enforcement, "analyser");
    EXPECT_EQ(rowOf(summary, "Rule 1.1").enforcement, "review");
    EXPECT_EQ(rowOf(summary, "Rule 1.1").compliance, "Compliant");
    EXPECT_TRUE(summary.compliant);
    EXPECT_EQ(summary.unenforced, 0);
}

} // namespace
} // namespace vendrik::history
