#include "history/triage_commands.h"

#include "history/compliance_command.h"
#include "history/report/history_output.h"
#include "history/store/finding_history.h"
#include "output/json_text.h"

#include <yaml-cpp/yaml.h>

#include <set>

namespace vendrik::history {

namespace {

/// The run that --run names in the series, else its newest, and its findings.
std::pair<RunKey, std::vector<TrackedFinding>> runOf(HistoryStore& store,
                                                     const TriageOptions& options) {
    const std::string branch = options.branch.value_or("");
    const std::vector<RunKey> runs = seriesRuns(store, options.platform, options.project, branch);
    const RunKey run = options.run ? findRun(runs, *options.run) : runs.front();
    auto findings = store.findings(run, branch);
    if (!findings) {
        throw StoreError("no findings of the run " + run.githash + " (" + stampOf(run) +
                         "): load its SARIF log");
    }
    return {run, std::move(*findings)};
}

int setDecisions(HistoryStore& store, const TriageOptions& options, std::ostream& out) {
    checkDecision("", options.state, options.reason, options.record, options.expires);
    const std::optional<CompliancePlans> plans =
        options.plans.any() ? std::optional(readPlans(options.plans)) : std::nullopt;
    if (options.fingerprints.empty() == !options.file ||
        options.file.has_value() != options.line.has_value()) {
        throw StoreError("name the findings by --fingerprint, or by --file and --line");
    }
    const auto [run, findings] = runOf(store, options);
    std::vector<const TrackedFinding*> chosen;
    for (const std::string& fingerprint : options.fingerprints) {
        const auto found = std::find_if(findings.begin(), findings.end(), [&](const auto& f) {
            return f.fingerprint == fingerprint;
        });
        if (found == findings.end()) {
            throw StoreError("no finding " + fingerprint + " in the run " + run.githash + " (" +
                             stampOf(run) + ")");
        }
        chosen.push_back(&*found);
    }
    if (options.file) {
        for (const TrackedFinding& finding : findings) {
            if (finding.file == *options.file && finding.line == *options.line) {
                chosen.push_back(&finding);
            }
        }
        if (chosen.empty()) {
            throw StoreError("no finding at " + *options.file + ":" +
                             std::to_string(*options.line) + " in the run " + run.githash + " (" +
                             stampOf(run) + ")");
        }
    }
    std::vector<Decision> decisions;
    std::set<std::string> seen;
    const std::string now = nowUtc();
    for (const TrackedFinding* finding : chosen) {
        if (!seen.insert(finding->fingerprint).second) {
            continue;
        }
        Decision& d = decisions.emplace_back();
        d.platform = run.platform;
        d.project = run.project;
        d.branch = options.branch.value_or("");
        d.run = orderKey(run);
        d.finding = *finding;
        d.state = options.state;
        d.record = options.record;
        d.reason = options.reason;
        d.author = options.author;
        d.at = now;
        d.expires = options.expires;
        d.approver = options.approver;
        if (plans) {
            const std::vector<std::string> faults = decisionFaults(d, *finding, *plans, todayUtc());
            if (!faults.empty()) {
                throw StoreError("refused: " + shown(finding->file, Format::text) + ":" +
                                 std::to_string(finding->line) + " (" + finding->fingerprint +
                                 "): " + faults.front() + "; nothing recorded");
            }
        }
    }
    store.recordDecisions(decisions);
    out << decisions.size() << (decisions.size() == 1 ? " decision" : " decisions")
        << " recorded on the run " << run.githash << " (" << stampOf(run) << ")\n";
    return 0;
}

/// One decision as a line: "Src/a.c:12 2000 false-positive: reason (author, at; ...)".
std::string decisionLine(const TrackedFinding& finding, const AppliedDecision& applied) {
    return shown(finding.file, Format::text) + ":" + std::to_string(finding.line) + " " +
           std::to_string(finding.number) + " " + decisionText(applied, Format::text);
}

int listDecisions(HistoryStore& store, const TriageOptions& options, std::ostream& out) {
    const auto [run, findings] = runOf(store, options);
    const Triage triage =
        triageOf(store, options.decisions, run, options.branch.value_or(""), findings);
    const bool json = options.format == "json";
    nlohmann::json listed = nlohmann::json::array();
    std::vector<std::string> lines;
    if (options.stale) {
        for (const Decision& stale : triage.staleStored) {
            const AppliedDecision applied{stale, "database", false};
            nlohmann::json entry = findingJson(stale.finding);
            entry["decision"] = decisionJson(applied);
            listed.push_back(std::move(entry));
            lines.push_back(decisionLine(stale.finding, applied));
        }
        for (const DecisionRule& rule : triage.staleRules) {
            const AppliedDecision applied = decisionOfRule(rule, triage.rulesPath);
            listed.push_back({{"decision", decisionJson(applied)}});
            lines.push_back(decisionText(applied, Format::text));
        }
    } else {
        for (std::size_t at = 0; at < findings.size(); ++at) {
            if (const auto& applied = triage.decided[at]) {
                nlohmann::json entry = findingJson(findings[at]);
                entry["decision"] = decisionJson(*applied);
                listed.push_back(std::move(entry));
                lines.push_back(decisionLine(findings[at], *applied));
            }
        }
    }
    if (json) {
        out << listed.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return 0;
    }
    out << (options.stale ? "Stale decisions (on no finding of " : "Decisions on the findings of ")
        << shown(run.githash, Format::text) << " (" << stampOf(run) << ")"
        << (options.stale ? ")" : "") << ": " << lines.size() << '\n';
    for (const std::string& line : lines) {
        out << "  " << line << '\n';
    }
    return 0;
}

int logDecisions(HistoryStore& store, const TriageOptions& options, std::ostream& out) {
    const std::vector<Decision> decisions =
        store.decisions(options.platform, options.project, options.branch.value_or(""));
    if (options.format == "json") {
        nlohmann::json listed = nlohmann::json::array();
        for (const Decision& d : decisions) {
            nlohmann::json entry = findingJson(d.finding);
            entry["run"] = utf8Text(d.run);
            entry["sequence"] = d.sequence;
            entry["decision"] = decisionJson(AppliedDecision{d, "database", false});
            listed.push_back(std::move(entry));
        }
        out << listed.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return 0;
    }
    out << "Decisions of " << shown(options.platform, Format::text) << " / "
        << shown(options.project, Format::text) << ", oldest first: " << decisions.size() << '\n';
    for (const Decision& d : decisions) {
        out << "  " << d.sequence << " " << shown(d.at, Format::text) << " on "
            << shown(d.run, Format::text) << ": "
            << decisionLine(d.finding, AppliedDecision{d, "database", false}) << '\n';
    }
    return 0;
}

int exportDecisions(HistoryStore& store, const TriageOptions& options, std::ostream& out) {
    const auto [run, findings] = runOf(store, options);
    DecisionInputs fromDatabase = options.decisions;
    fromDatabase.rulesFile.reset(); // the database's own decisions
    const Triage triage = triageOf(store, fromDatabase, run, options.branch.value_or(""), findings);
    YAML::Emitter yaml;
    yaml << YAML::BeginMap << YAML::Key << "rules" << YAML::Value << YAML::BeginSeq;
    for (std::size_t at = 0; at < findings.size(); ++at) {
        const auto& applied = triage.decided[at];
        if (!applied) {
            continue;
        }
        const Decision& d = applied->decision;
        yaml << YAML::BeginMap << YAML::Key << "fingerprint" << YAML::Value << YAML::DoubleQuoted
             << findings[at].fingerprint << YAML::Key << "platform" << YAML::Value
             << YAML::DoubleQuoted << run.platform << YAML::Key << "project" << YAML::Value
             << YAML::DoubleQuoted << run.project;
        if (options.branch) {
            yaml << YAML::Key << "branch" << YAML::Value << YAML::DoubleQuoted << *options.branch;
        }
        yaml << YAML::Key << "state" << YAML::Value << d.state << YAML::Key << "reason"
             << YAML::Value << YAML::DoubleQuoted << d.reason;
        for (const auto& [key, value] :
             {std::pair<const char*, const std::string*>{"record", &d.record},
              {"expires", &d.expires},
              {"approver", &d.approver}}) {
            if (!value->empty()) {
                yaml << YAML::Key << key << YAML::Value << YAML::DoubleQuoted << *value;
            }
        }
        yaml << YAML::EndMap;
    }
    yaml << YAML::EndSeq << YAML::EndMap;
    out << yaml.c_str() << '\n';
    return 0;
}

} // namespace

void addDecisionOptions(CLI::App& command, DecisionInputs& inputs) {
    command.add_option("--decisions", inputs.rulesFile,
                       "a rules file of decisions (YAML), which wins over the database's");
    command
        .add_option("--today", inputs.today,
                    "the date that expiry is judged on, YYYY-MM-DD (default: today, UTC)")
        ->check([](const std::string& date) {
            return isDate(date) ? std::string() : "not a date (YYYY-MM-DD): " + date;
        });
    command.add_option("--expiry-warning", inputs.expiryWarning,
                       "list the suppressions that end within this many days (30)");
}

void defineTriage(CLI::App& triage, TriageOptions& options,
                  const std::function<void(CLI::App&)>& addDatabase) {
    triage.require_subcommand(1);
    const auto series = [&](CLI::App& command) {
        addDatabase(command);
        command.add_option("--platform", options.platform, "the platform")->required();
        command.add_option("--project", options.project, "the project")->required();
        command.add_option("--branch", options.branch, "the branch of the runs (default: none)");
    };
    const auto ofRun = [&](CLI::App& command) {
        series(command);
        command.add_option("--run", options.run,
                           "the run: a hash, a unique prefix of one, or \"YYYY.MM.DD HH:MM:SS\" "
                           "(default: the newest)");
    };
    CLI::App& set = *triage.add_subcommand("set", "record a decision on findings of a run");
    ofRun(set);
    set.add_option("--fingerprint", options.fingerprints, "a finding's fingerprint (repeatable)");
    set.add_option("--file", options.file, "the file of the findings, as the log names it");
    set.add_option("--line", options.line, "their line");
    set.add_option("--state", options.state, "confirmed, false-positive, accepted or deviation")
        ->required();
    set.add_option("--record", options.record, "the deviation's record, such as DEV-012");
    set.add_option("--reason", options.reason, "why (required)")->required();
    set.add_option("--author", options.author,
                   "who (default: the operating-system user, or the server's session user)");
    set.add_option("--expires", options.expires, "the last day it holds, YYYY-MM-DD");
    set.add_option("--approver", options.approver, "who approved it");
    addPlanOptions(set, options.plans);
    CLI::App& list = *triage.add_subcommand("list", "the decisions in force on a run's findings");
    ofRun(list);
    list.add_flag("--stale", options.stale, "the decisions that match no finding of the run");
    list.add_option("--format", options.format, "text or json")
        ->check(CLI::IsMember({"text", "json"}));
    addDecisionOptions(list, options.decisions);
    CLI::App& log = *triage.add_subcommand("log", "every decision of a series, oldest first");
    series(log);
    log.add_option("--format", options.format, "text or json")
        ->check(CLI::IsMember({"text", "json"}));
    CLI::App& exported =
        *triage.add_subcommand("export", "the database's decisions in force, as a rules file");
    ofRun(exported);
}

int runTriage(const CLI::App& triage, HistoryStore& store, const TriageOptions& options,
              std::ostream& out) {
    if (triage.got_subcommand("set")) {
        return setDecisions(store, options, out);
    }
    if (triage.got_subcommand("list")) {
        return listDecisions(store, options, out);
    }
    if (triage.got_subcommand("log")) {
        return logDecisions(store, options, out);
    }
    return exportDecisions(store, options, out);
}

} // namespace vendrik::history
