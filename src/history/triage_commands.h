#pragma once

#include "history/compliance/summary.h"
#include "history/run_comparison.h"
#include "history/store/store.h"
#include "history/triage.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vendrik::history {

/// Adds --decisions, --today and --expiry-warning to `command`.
void addDecisionOptions(CLI::App& command, DecisionInputs& inputs);

/// The options of triage set, list, log and export.
struct TriageOptions {
    std::string platform;
    std::string project;
    std::optional<std::string> branch;
    std::optional<std::string> run;
    std::vector<std::string> fingerprints;
    std::optional<std::string> file;
    std::optional<std::int64_t> line;
    std::string state;
    std::string record;
    std::string reason;
    std::string author;
    std::string expires;
    std::string approver;
    bool stale = false;
    std::string format = "text";
    DecisionInputs decisions;
    PlanPaths plans; ///< of set: the decision is checked against MISRA's rules when given
};

/// Defines triage's subcommands set, list, log and export on `triage`, each with the
/// database options that `addDatabase` adds.
void defineTriage(CLI::App& triage, TriageOptions& options,
                  const std::function<void(CLI::App&)>& addDatabase);

/// Runs the triage subcommand that `triage` parsed: set appends decisions (status 2, nothing
/// written, for a run or finding that does not exist or a decision that cannot be
/// recorded); list shows the decisions in force on a run's findings, or with --stale those
/// on none; log shows every decision, oldest first; export writes those in force in the
/// database as a rules file. Throws StoreError.
int runTriage(const CLI::App& triage, HistoryStore& store, const TriageOptions& options,
              std::ostream& out);

} // namespace vendrik::history
