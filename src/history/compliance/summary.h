#pragma once

#include "history/compliance/catalogue.h"
#include "history/compliance/plans.h"
#include "history/store/store.h"
#include "history/triage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vendrik::history {

/// The project's plans as compliance reads them: the catalogue (built in, plus the project's
/// files), the re-categorization plan of the standard claimed, and optionally the deviation
/// register and the enforcement plan.
struct CompliancePlans {
    Catalogue catalogue;
    Recategorization claimed;
    std::optional<DeviationRegister> deviations;
    std::optional<EnforcementPlan> enforcement;
    std::vector<PlanFile> catalogueFiles;

    /// The plan that `standard` is judged by: the claimed one for the standard claimed, else
    /// its newest edition unchanged.
    Recategorization planOf(const Standard& standard) const {
        return &standard == claimed.standard ? claimed : defaultRecategorization(standard);
    }
};

/// The paths of the plans (--catalogue, --recategorization, --deviations, --enforcement).
struct PlanPaths {
    std::vector<std::string> catalogues;
    std::optional<std::string> recategorization;
    std::optional<std::string> deviations;
    std::optional<std::string> enforcement;

    bool any() const { return recategorization || deviations; }
};

/// Reads every plan of `paths` (see readRecategorization and the others); without a
/// re-categorization plan the claim is MISRA C:2012 in its newest edition.
CompliancePlans readPlans(const PlanPaths& paths);

/// Why `decision` on a finding (`file`, message `number`) of guideline `guideline`, whose
/// project category is `category`, is not honoured by MISRA's rules, or empty when it is: a
/// Mandatory guideline takes only false positive, a Required one false positive or a
/// deviation citing a record that covers it and the file, an Advisory one any suppression.
/// A deviation's record must be known, in force on `today`, and cover the finding.
std::string decisionFault(const Decision& decision, const std::string& guideline, Category category,
                          const std::string& file, std::int64_t number,
                          const std::optional<DeviationRegister>& deviations,
                          const std::string& today);

/// The faults of `decision` on `finding` (see decisionFault), one per guideline its
/// reference names that the catalogue holds, each "Rule 11.3: why".
std::vector<std::string> decisionFaults(const Decision& decision, const TrackedFinding& finding,
                                        const CompliancePlans& plans, const std::string& today);

/// One row of a Guideline Compliance Summary.
struct ComplianceRow {
    const Guideline* guideline = nullptr;
    Category misra = Category::required;   ///< in the edition claimed
    Category project = Category::required; ///< after re-categorization
    std::string compliance;  ///< "Compliant", "Deviations", "Violations", "Disapplied", or
                             ///< "no findings; enforcement not stated"
    std::string enforcement; ///< analyser, compiler, review, or empty
    std::int64_t open = 0;
    std::int64_t deviated = 0;
    std::int64_t accepted = 0;
    std::int64_t falsePositive = 0;
    std::vector<std::string> records; ///< the deviation records cited, sorted
};

/// One table: a standard in one edition.
struct ComplianceTable {
    const Standard* standard = nullptr;
    std::size_t edition = 0;
    bool claimed = false; ///< the standard of the re-categorization plan
    std::vector<ComplianceRow> rows;
};

/// A finding's decision that compliance does not honour, and why.
struct DecisionFaultAt {
    std::size_t finding = 0; ///< in the run's findings
    std::string guideline;
    std::string source; ///< "database" or "rules PATH:LINE"
    std::string fault;
};

/// A part of a finding's reference that the catalogue does not hold.
struct UnknownReference {
    std::size_t finding = 0;
    ReferencePart part;
    std::string why;
};

/// The Guideline Compliance Summary of one run.
struct ComplianceSummary {
    RunKey run;
    std::string branch;
    std::string today; ///< the day decisions and records are judged on
    std::vector<PlanFile> planFiles;
    std::vector<ComplianceTable> tables; ///< the claimed standard first
    std::vector<DecisionFaultAt> faults;
    std::vector<std::size_t> unreferenced; ///< findings without a MISRA reference
    std::vector<UnknownReference> unknown;
    std::vector<TrackedFinding> findings; ///< the run's, that the indexes above name
    std::int64_t inRows = 0;              ///< distinct findings in some row
    std::int64_t apart = 0;               ///< findings in no row
    std::int64_t allErrors = 0;           ///< the run's own total
    bool compliant = false;
    std::vector<std::string> deciding; ///< the Mandatory and Required guidelines with Violations
    std::vector<std::string> deviated; ///< the Mandatory and Required ones with Deviations
    std::int64_t unenforced = 0;       ///< rows "no findings; enforcement not stated"

    bool reconciled() const { return inRows + apart == allErrors; }
};

/// The run's all_errors: the sum of its files' counts.
std::int64_t allErrorsOf(const std::vector<FileRow>& rows);

/// The summary of `findings` (a run's, all of them) with their decisions `triage`, against
/// `plans`, on `today`. A finding counts in the row of every guideline its reference names,
/// in a table of the standard the reference names (the claimed one in its plan's edition,
/// any other in its newest).
ComplianceSummary summarizeCompliance(const RunKey& run, const std::string& branch,
                                      std::vector<TrackedFinding> findings, const Triage& triage,
                                      const CompliancePlans& plans, const std::string& today,
                                      std::int64_t allErrors);

} // namespace vendrik::history
