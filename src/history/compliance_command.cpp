#include "history/compliance_command.h"

#include "history/report/compliance_output.h"
#include "history/report/history_output.h"
#include "history/run_comparison.h"
#include "history/triage_commands.h"
#include "output/output_file.h"

#include <sstream>

namespace vendrik::history {

void addPlanOptions(CLI::App& command, PlanPaths& paths) {
    command.add_option("--catalogue", paths.catalogues,
                       "a catalogue of guidelines (YAML) beside the built-in one: other "
                       "standards, or texts (repeatable)");
    command.add_option("--recategorization", paths.recategorization,
                       "the Guideline Re-categorization Plan (YAML), which names the standard "
                       "claimed (default: MISRA C:2012, newest edition)");
    command.add_option("--deviations", paths.deviations, "the deviation register (YAML)");
    command.add_option("--enforcement", paths.enforcement,
                       "the Guideline Enforcement Plan (YAML): how each guideline is checked");
}

void defineComplianceOptions(CLI::App& command, ComplianceOptions& options) {
    command.add_option("--platform", options.platform, "the platform")->required();
    command.add_option("--project", options.project, "the project")->required();
    command.add_option("--branch", options.branch, "the branch of the runs (default: none)");
    command.add_option("--run", options.run,
                       "the run: a hash, a unique prefix of one, or \"YYYY.MM.DD HH:MM:SS\" "
                       "(default: the newest)");
    addPlanOptions(command, options.plans);
    addDecisionOptions(command, options.decisions);
    command.add_option("--format", options.format, "text, markdown, json, csv or html")
        ->check(CLI::IsMember({"text", "markdown", "json", "csv", "html"}));
    command.add_option("--output", options.output, "the file to write (default: standard output)");
}

ComplianceSummary complianceOf(HistoryStore& store, const CompliancePlans& plans,
                               const DecisionInputs& decisions, const RunKey& run,
                               const std::string& branch) {
    auto findings = store.findings(run, branch);
    if (!findings) {
        throw StoreError("the run " + run.githash + " (" + stampOf(run) +
                         ") is known only from its script, which has no findings to map onto "
                         "guidelines: load its SARIF log (--history_sarif_output)");
    }
    const std::int64_t allErrors = allErrorsOf(store.files(run, branch));
    const Triage triage = triageOf(store, decisions, run, branch, *findings);
    ComplianceSummary summary = summarizeCompliance(run, branch, std::move(*findings), triage,
                                                    plans, todayOf(decisions), allErrors);
    if (decisions.rulesFile) {
        summary.planFiles.push_back(planFileAt(*decisions.rulesFile));
    }
    if (!summary.reconciled()) {
        throw StoreError("the summary does not reconcile with the run: " +
                         reconciliationText(summary));
    }
    return summary;
}

int runCompliance(HistoryStore& store, const ComplianceOptions& options, std::ostream& out) {
    if (!options.output.empty() && store.isStoredIn(options.output)) {
        throw StoreError("refused: --output names the database");
    }
    const CompliancePlans plans = readPlans(options.plans);
    const std::string branch = options.branch.value_or("");
    const std::vector<RunKey> runs = seriesRuns(store, options.platform, options.project, branch);
    const RunKey& run = options.run ? findRun(runs, *options.run) : runs.front();
    const ComplianceSummary summary = complianceOf(store, plans, options.decisions, run, branch);
    if (options.output.empty()) {
        writeCompliance(out, summary, options.format);
    } else {
        std::ostringstream text;
        writeCompliance(text, summary, options.format);
        if (!writeWholeOutputFile(options.output, text.str())) {
            throw StoreError("could not write " + options.output);
        }
    }
    return summary.compliant ? 0 : 1;
}

} // namespace vendrik::history
