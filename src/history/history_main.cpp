#include "history/history_main.h"

#include "history/compliance_command.h"
#include "history/report/baseline_log.h"
#include "history/report/compliance_output.h"
#include "history/report/history_output.h"
#include "history/report/history_page.h"
#include "history/sarif_read.h"
#include "history/store/store.h"
#include "history/triage_commands.h"
#include "output/output_file.h"

#include <CLI/CLI.hpp>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>

namespace vendrik::history {

namespace {

struct Options {
    std::string database;
    std::optional<std::string> platform;
    std::optional<std::string> project;
    std::optional<std::string> base;
    std::optional<std::string> head;
    std::optional<std::string> branch;
    std::string format = "text";
    std::string watch = "all_errors,his";
    std::array<std::optional<std::int64_t>, comparedColumns.size()> limits;
    NewFindingLimits newLimits;
    bool record = false;
    std::string output;
    std::vector<std::string> scripts;
    int busyMilliseconds = 5000;
    DecisionInputs decisions;
    std::string suppressed = "keep";
    TriageOptions triage;
    CLI::App* triageCommand = nullptr;
    bool compliance = false; ///< gate --compliance
    PlanPaths plans;         ///< of gate --compliance
    ComplianceOptions complianceCommand;
};

Format formatOf(const std::string& name) {
    return name == "json" ? Format::json : name == "markdown" ? Format::markdown : Format::text;
}

/// The base of `head` (at `headAt` in `runs`, newest first) by `policy`: "previous", the
/// newest older run with another hash; "last-passing", the newest older run whose gate
/// passed; else a run that findRun finds. Nothing when there is none.
const RunKey* baseOf(HistoryStore& store, const Options& options, const std::vector<RunKey>& runs,
                     std::size_t headAt, const std::string& policy) {
    if (policy == "previous") {
        const auto at = previousRunAt(runs, headAt);
        return at ? &runs[*at] : nullptr;
    }
    if (policy != "last-passing") {
        return &findRun(runs, policy);
    }
    const std::vector<RunKey> passed =
        store.passedRuns(*options.platform, *options.project, options.branch.value_or(""));
    for (std::size_t at = headAt + 1; at < runs.size(); ++at) {
        if (std::find(passed.begin(), passed.end(), runs[at]) != passed.end()) {
            return &runs[at];
        }
    }
    return nullptr;
}

/// The runs of the series of `options` compared: head (default the newest) with its base
/// (see baseOf), finding by finding where both SARIF logs are loaded. When there is no base
/// run, `note` says so, and the result is nothing, or with `headAlone` head compared with
/// itself and without a base.
std::optional<Comparison> comparisonOf(HistoryStore& store, const Options& options, bool headAlone,
                                       std::string& note) {
    const std::string branch = options.branch.value_or("");
    const std::vector<RunKey> runs = seriesRuns(store, *options.platform, *options.project, branch);
    const RunKey& head = options.head ? findRun(runs, *options.head) : runs.front();
    const std::string policy = options.base.value_or("previous");
    const RunKey* base =
        baseOf(store, options, runs, static_cast<std::size_t>(&head - runs.data()), policy);
    if (base == nullptr) {
        note = "No base run: " + head.githash + " (" + stampOf(head) + ") of " + head.platform +
               " / " + head.project +
               (policy == "last-passing" ? " has no older run whose gate passed"
                                         : " has no older run with another hash") +
               "; a missing baseline is not counted as zero findings.";
        if (!headAlone) {
            return std::nullopt;
        }
        const std::vector<FileRow> rows = store.files(head, branch);
        Comparison alone = compareRuns(head, rows, head, rows);
        alone.hasBase = false;
        if (auto findings = store.findings(head, branch)) {
            FindingMatch match = matchFindings({}, *findings);
            alone.findings = std::make_shared<FindingChanges>(
                FindingChanges{{}, std::move(*findings), std::move(match), {}});
        }
        applyDecisions(store, options.decisions, branch, alone);
        return alone;
    }
    Comparison comparison =
        compareStoredRuns(store, *base, head, store.files(head, branch), branch);
    applyDecisions(store, options.decisions, branch, comparison);
    return comparison;
}

/// Reads the whole file at `path` into `script`: "" when it was read to its end, else what
/// went wrong.
std::string readScript(const std::string& path, std::string& script) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return "refused: a folder, not a script";
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         std::fclose);
    if (!file) {
        return std::string("could not open the script: ") + std::strerror(errno);
    }
    // Read into room of the file's size, so that a large file is held once.
    if (const auto size = std::filesystem::file_size(path, error); !error) {
        script.reserve(static_cast<std::size_t>(size));
    }
    std::array<char, 1 << 16> buffer;
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
        script.append(buffer.data(), got);
    }
    if (std::ferror(file.get())) {
        return std::string("could not read the script to its end: ") + std::strerror(errno);
    }
    return {};
}

/// Runs `load` for the file at `path`, whose rows are `units`, and says what it did; false
/// when it failed.
template <typename Load>
bool loadOne(const std::string& path, const char* units, std::ostream& out, std::ostream& err,
             Load load) {
    try {
        const LoadResult result = load();
        for (const RunKey& run : result.runsPresent) {
            out << path << ": the run " << run.githash << " (" << stampOf(run) << ") of "
                << run.platform << " / " << run.project
                << " is already in the database; nothing added\n";
        }
        if (result.runsPresent.empty()) {
            out << path << ": " << result.rowsAdded << ' ' << units << " added\n";
        }
        return true;
    } catch (const StoreError& error) {
        err << "vendrik-history: " << path << ": " << error.what() << '\n';
        return false;
    } catch (const std::bad_alloc&) { // the transaction was rolled back
        err << "vendrik-history: " << path << ": not enough memory\n";
        return false;
    }
}

int loadScripts(HistoryStore& store, const Options& options, std::ostream& out, std::ostream& err) {
    int status = historyDone;
    for (const std::string& path : options.scripts) {
        std::string script;
        if (const std::string problem = readScript(path, script); !problem.empty()) {
            err << "vendrik-history: " << path << ": " << problem << '\n';
            status = historyFailed;
            continue;
        }
        if (script.find_first_not_of(" \t\r\n") == std::string::npos) {
            // The converter writes at least the table's create statement: an empty file is
            // a run whose output was lost, not a run without findings.
            err << "vendrik-history: " << path << ": refused: the file is empty\n";
            status = historyFailed;
            continue;
        }
        if (looksLikeSarifLog(script)) {
            if (!loadOne(path, "findings", out, err, [&] {
                    // Read whole and checked before the database is touched.
                    return store.loadLog(readSarifLog(script), options.branch);
                })) {
                status = historyFailed;
            }
            continue;
        }
        if (script.find('\0') != std::string::npos) {
            err << "vendrik-history: " << path << ": refused: the script holds a NUL byte\n";
            status = historyFailed;
            continue;
        }
        if (!loadOne(path, "rows", out, err,
                     [&] { return store.loadScript(script, options.branch.value_or("")); })) {
            status = historyFailed;
        }
    }
    return status;
}

/// Writes the page whole or not at all: a failure leaves a previous page as it was.
int writePage(HistoryStore& store, const Options& options) {
    std::ostringstream page;
    const std::optional<CompliancePlans> plans =
        options.compliance ? std::optional(readPlans(options.plans)) : std::nullopt;
    writeHistoryPage(page, store, options.branch, options.decisions, plans ? &*plans : nullptr);
    if (!writeWholeOutputFile(options.output, page.str())) {
        throw StoreError("could not write " + options.output);
    }
    return historyDone;
}

void addDatabase(CLI::App& command, Options& options) {
    command
        .add_option("--database", options.database,
                    "the results database: a SQLite file, or a PostgreSQL server as a libpq URI "
                    "(postgresql://[user@]host[:port]/dbname) or key=value string (service=NAME)")
        ->required();
    command.add_option("--busy-timeout", options.busyMilliseconds,
                       "how long to wait for a locked database, in milliseconds (5000)");
}

void addComparison(CLI::App& command, Options& options, std::vector<std::string> formats) {
    addDatabase(command, options);
    command.add_option("--platform", options.platform, "the platform")->required();
    command.add_option("--project", options.project, "the project")->required();
    command.add_option("--branch", options.branch, "the branch of the runs (default: none)");
    command.add_option("--base", options.base,
                       "the base run: previous (the newest older run with another hash, the "
                       "default), last-passing (the newest older run whose recorded gate "
                       "passed), a hash, a unique prefix of one, or \"YYYY.MM.DD HH:MM:SS\"");
    command.add_option("--head", options.head, "the head run (default: the newest)");
    command.add_option("--format", options.format, CLI::detail::join(formats, ", "))
        ->check(CLI::IsMember(formats));
    addDecisionOptions(command, options.decisions);
}

void defineRuns(CLI::App& command, Options& options) {
    addDatabase(command, options);
    command.add_option("--platform", options.platform, "only the runs of this platform");
    command.add_option("--project", options.project, "only the runs of this project");
    command.add_option("--branch", options.branch, "only the runs of this branch");
}

void defineCompare(CLI::App& command, Options& options) {
    addComparison(command, options, {"text", "markdown", "json", "sarif"});
    command
        .add_option("--suppressed", options.suppressed,
                    "keep (the default: with SARIF suppressions) or omit the findings that "
                    "decisions suppress, in a SARIF log")
        ->check(CLI::IsMember({"keep", "omit"}));
}

void defineGate(CLI::App& command, Options& options) {
    addComparison(command, options, {"text", "markdown", "json"});
    command.add_option("--watch", options.watch, "the columns to watch, separated by commas");
    for (std::size_t column = 0; column < comparedColumns.size(); ++column) {
        command.add_option("--max-" + std::string(comparedColumns[column]), options.limits[column],
                           "fail when the head run's total " +
                               std::string(comparedColumns[column]) + " is above this");
    }
    for (std::size_t kind = 0; kind < newKinds.size(); ++kind) {
        std::string name = "--max-" + std::string(newKinds[kind]);
        std::replace(name.begin(), name.end(), '_', '-');
        command.add_option(name, options.newLimits.maxNew[kind],
                           "fail when head has more " + std::string(newKinds[kind]) +
                               " findings than this");
    }
    command.add_option("--max-increase", options.newLimits.maxIncrease,
                       "fail when head's total all_errors grew by more than this");
    command.add_flag("--record", options.record,
                     "store the outcome for head, for --base=last-passing");
    command.add_flag("--count-suppressed", options.newLimits.countSuppressed,
                     "count the new findings that decisions suppress in the limits too");
    command.add_flag("--compliance", options.compliance,
                     "fail when head is not MISRA compliant (see compliance), beside the limits");
    addPlanOptions(command, options.plans);
}

void defineCompliance(CLI::App& command, Options& options) {
    addDatabase(command, options);
    defineComplianceOptions(command, options.complianceCommand);
}

int runComplianceCommand(HistoryStore& store, const Options& options, std::ostream& out,
                         std::ostream&) {
    return runCompliance(store, options.complianceCommand, out);
}

void defineTriageCommand(CLI::App& command, Options& options) {
    options.triageCommand = &command;
    defineTriage(command, options.triage,
                 [&](CLI::App& subcommand) { addDatabase(subcommand, options); });
}

int runTriageCommand(HistoryStore& store, const Options& options, std::ostream& out,
                     std::ostream&) {
    return runTriage(*options.triageCommand, store, options.triage, out);
}

void definePage(CLI::App& command, Options& options) {
    addDatabase(command, options);
    command.add_option("--output", options.output, "the HTML file to write")->required();
    command.add_option("--branch", options.branch, "only the runs of this branch");
    addDecisionOptions(command, options.decisions);
    command.add_flag("--compliance", options.compliance,
                     "show each project's MISRA compliance (see compliance)");
    addPlanOptions(command, options.plans);
}

void defineLoad(CLI::App& command, Options& options) {
    addDatabase(command, options);
    command.add_option("--branch", options.branch,
                       "the branch of the runs loaded (default: a log's own, else none)");
    command
        .add_option("files", options.scripts,
                    "the scripts and logs, each loaded whole or not at all")
        ->required();
}

/// The gate on `comparison`: prints its verdict, records it when asked, returns the status.
int gateOn(HistoryStore& store, const Comparison& comparison, const Options& options,
           const std::vector<std::size_t>& watched, std::ostream& out) {
    std::vector<std::pair<std::size_t, std::int64_t>> limits;
    for (std::size_t column = 0; column < options.limits.size(); ++column) {
        if (options.limits[column]) {
            limits.emplace_back(column, *options.limits[column]);
        }
    }
    const bool onNewFindings =
        std::any_of(options.newLimits.maxNew.begin(), options.newLimits.maxNew.end(),
                    [](const auto& limit) { return limit.has_value(); });
    if (onNewFindings && comparison.hasBase && !comparison.findings) {
        throw StoreError("no findings to gate on: load the SARIF logs of " +
                         comparison.base.githash + " (" + stampOf(comparison.base) + ") and " +
                         comparison.head.githash + " (" + stampOf(comparison.head) + ")");
    }
    // What decisions suppress neither grows a file nor counts towards a limit.
    const bool anySuppressed =
        comparison.findings &&
        std::any_of(comparison.findings->match.added.begin(),
                    comparison.findings->match.added.end(),
                    [&](std::size_t index) { return comparison.findings->suppressed(index); });
    std::optional<Comparison> lessSuppressed;
    if (anySuppressed && !options.newLimits.countSuppressed) {
        lessSuppressed = withoutSuppressed(comparison);
    }
    const Comparison& judged = lessSuppressed ? *lessSuppressed : comparison;
    GateResult result = evaluateGate(judged, watched, limits);
    if (comparison.hasBase) {
        applyNewFindingLimits(judged, options.newLimits, result);
    }
    if (options.compliance) {
        const ComplianceSummary summary =
            complianceOf(store, readPlans(options.plans), options.decisions, comparison.head,
                         options.branch.value_or(""));
        if (!summary.compliant) {
            result.failed = true;
            result.limitsPassed.push_back("compliance: " + verdictText(summary));
        }
    }
    printGate(out, comparison, result, watched, formatOf(options.format));
    if (options.record) {
        store.recordGate(comparison.head, options.branch.value_or(""), !result.failed);
    }
    return result.failed ? gateFailed : historyDone;
}

/// compare, or with `gate` the gate: prints the result (a SARIF log on `out`, its note on
/// `err`) and returns the status.
int compareOrGate(HistoryStore& store, const Options& options, bool gate,
                  const std::vector<std::size_t>& watched, std::ostream& out, std::ostream& err) {
    // Without a base run the gate still decides, on the limits of head's totals alone, and
    // the review log still lists head's findings.
    std::string note;
    const bool sarif = options.format == "sarif";
    const std::optional<Comparison> comparison = comparisonOf(store, options, gate || sarif, note);
    const Format format = formatOf(options.format);
    if (sarif && comparison && !comparison->findings) {
        throw StoreError("no findings to compare: load the SARIF logs of both runs");
    }
    if (!note.empty() && !(comparison && format == Format::json)) { // JSON: "base": null
        (sarif ? err : out) << note << '\n' << (comparison && !sarif ? "\n" : "");
    }
    if (!comparison) {
        return historyDone;
    }
    if (gate) {
        return gateOn(store, *comparison, options, watched, out);
    }
    if (sarif) {
        writeBaselineLog(out, *comparison, options.suppressed == "omit");
    } else {
        printComparison(out, *comparison, format);
    }
    return historyDone;
}

int runRuns(HistoryStore& store, const Options& options, std::ostream& out, std::ostream&) {
    printRuns(out, store.runs(options.platform, options.project, options.branch));
    return historyDone;
}

int runCompare(HistoryStore& store, const Options& options, std::ostream& out, std::ostream& err) {
    return compareOrGate(store, options, false, {}, out, err);
}

int runGate(HistoryStore& store, const Options& options, std::ostream& out, std::ostream& err) {
    std::vector<std::size_t> watched;
    std::stringstream names(options.watch);
    for (std::string name; std::getline(names, name, ',');) {
        const auto column = columnIndex(name);
        if (!column) {
            throw StoreError("--watch: no column named " + name);
        }
        watched.push_back(*column);
    }
    return compareOrGate(store, options, true, watched, out, err);
}

int runPage(HistoryStore& store, const Options& options, std::ostream&, std::ostream&) {
    if (store.isStoredIn(options.output)) {
        throw StoreError("refused: --output names the database " + options.database);
    }
    return writePage(store, options);
}

/// A subcommand: its name and help, its options, how it opens the store, and its run.
struct Command {
    const char* name;
    const char* help;
    void (*define)(CLI::App& command, Options& options);
    StoreAccess access;
    int (*run)(HistoryStore& store, const Options& options, std::ostream& out, std::ostream& err);
};

constexpr std::array<Command, 7> commands = {{
    {"runs", "list the runs, newest first", defineRuns, StoreAccess::read, runRuns},
    {"compare", "compare two runs file by file", defineCompare, StoreAccess::read, runCompare},
    {"gate", "fail (status 1) when a watched count of any file grew or a limit is passed",
     defineGate, StoreAccess::read, runGate},
    {"page", "write the history as one HTML page", definePage, StoreAccess::read, runPage},
    {"load", "load converter SQL scripts and SARIF logs into the database", defineLoad,
     StoreAccess::write, loadScripts},
    {"triage", "record and show decisions on findings", defineTriageCommand, StoreAccess::read,
     runTriageCommand},
    {"compliance",
     "write the run's MISRA Guideline Compliance Summary; status 1 when it is not compliant",
     defineCompliance, StoreAccess::read, runComplianceCommand},
}};

} // namespace

int runHistoryMain(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
    Options options;
    CLI::App app("Reads the QAC results database that vendrik's SQL scripts fill: lists runs, "
                 "compares them, gates a pipeline and draws the trend.",
                 "vendrik-history");
    app.require_subcommand(1);
    for (const Command& command : commands) {
        command.define(*app.add_subcommand(command.name, command.help), options);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help, out, err);
    } catch (const CLI::ParseError& error) {
        err << "vendrik-history: " << error.what() << "\nRun with --help for usage.\n";
        return historyFailed;
    }
    const Command& command = *std::find_if(commands.begin(), commands.end(), [&](const Command& c) {
        return app.got_subcommand(c.name);
    });
    try {
        const auto store = openStore(options.database, command.access, options.busyMilliseconds);
        const int status = command.run(*store, options, out, err);
        // What could not be written is not a result: a full disk or a closed pipe fails.
        if (!out.flush()) {
            err << "vendrik-history: could not write the output to standard output\n";
            return historyFailed;
        }
        return status;
    } catch (const StoreError& error) {
        err << "vendrik-history: " << error.what() << '\n';
        return historyFailed;
    } catch (const std::bad_alloc&) {
        err << "vendrik-history: not enough memory\n";
        return historyFailed;
    }
}

} // namespace vendrik::history
