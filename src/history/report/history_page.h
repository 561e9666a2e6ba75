#pragma once

#include "history/compliance/summary.h"
#include "history/store/store.h"
#include "history/triage.h"

#include <optional>
#include <ostream>
#include <string>

namespace vendrik::history {

/// Writes one self-contained HTML page of the history in `store` (of the runs of `branch`
/// when given). It opens with an overview: a row per platform, project and branch with the
/// newest run's total, its change since the previous run with another hash (the gate's
/// default reference; in new and fixed findings where both SARIF logs are loaded) and a small
/// trend, linked to its section. Each section has a headline with the same figures; the
/// trend chart of the totals (see writeTotalsChart); what changed in the newest run against
/// that reference: its new and fixed findings and the files whose counts changed, the largest
/// change first; the files with most findings now and those that grew most over the last 30
/// runs, each with its trend over those runs on one scale; and the newest runs. Each list
/// shows its first 100 rows, then how many more; the section's whole data follows as JSON in a
/// script element of type application/json (runs oldest first, the newest run's files, the
/// changed files, the new and fixed findings). Text from the database is escaped everywhere.
/// The page loads nothing from elsewhere; its one script shows a point's title on hover and
/// focus.
/// Where decisions apply (the database's, or the rules file of `decisions`), the section
/// also counts the newest run's findings by state (unreviewed, confirmed, suppressed,
/// expired), shows the state of each new finding, and lists the decisions in force with
/// who, when and why, those that end soon and the stale ones.
/// With `plans`, each overview row has the newest run's MISRA compliance verdict, and each
/// section the summary of its Guideline Compliance Summary (see summarizeCompliance): the
/// verdict, the reconciliation and the guidelines per compliance.
void writeHistoryPage(std::ostream& out, HistoryStore& store,
                      const std::optional<std::string>& branch = std::nullopt,
                      const DecisionInputs& decisions = {}, const CompliancePlans* plans = nullptr);

} // namespace vendrik::history
