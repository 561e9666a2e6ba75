#pragma once

#include "history/compliance/summary.h"
#include "history/store/store.h"
#include "history/triage.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>
#include <string>

namespace vendrik::history {

/// Adds --catalogue (repeatable), --recategorization, --deviations and --enforcement.
void addPlanOptions(CLI::App& command, PlanPaths& paths);

/// The options of compliance.
struct ComplianceOptions {
    std::string platform;
    std::string project;
    std::optional<std::string> branch;
    std::optional<std::string> run;
    PlanPaths plans;
    DecisionInputs decisions;
    std::string format = "text";
    std::string output; ///< empty: standard output
};

/// Defines compliance's options on `command`.
void defineComplianceOptions(CLI::App& command, ComplianceOptions& options);

/// The Guideline Compliance Summary of `run` on `branch` with the plans read already.
/// Throws StoreError for a run known only from its script (no findings to map), and for a
/// summary whose counts do not reconcile with the run's all_errors.
ComplianceSummary complianceOf(HistoryStore& store, const CompliancePlans& plans,
                               const DecisionInputs& decisions, const RunKey& run,
                               const std::string& branch);

/// compliance: writes the summary of the run (default the newest) to --output or `out`;
/// status 0 when compliant, 1 when not. Throws StoreError (status 2).
int runCompliance(HistoryStore& store, const ComplianceOptions& options, std::ostream& out);

} // namespace vendrik::history
