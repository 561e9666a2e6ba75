#include "history/history_main.h"

#include "driver/same_file.h"
#include "history/history_output.h"
#include "history/history_page.h"
#include "history/script_load.h"
#include "history/sqlite_store.h"
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
    std::string format = "text";
    std::string watch = "all_errors,his";
    std::array<std::optional<std::int64_t>, comparedColumns.size()> limits;
    std::string output;
    std::vector<std::string> scripts;
    int busyMilliseconds = 5000;
};

Format formatOf(const std::string& name) {
    return name == "json" ? Format::json : name == "markdown" ? Format::markdown : Format::text;
}

/// The runs of the platform and project of `options` compared: head (default the newest),
/// base (default the run before head). When there is no base run, `note` says so, and the
/// result is nothing, or with `headAlone` head compared with itself and without a base.
std::optional<Comparison> comparisonOf(HistoryStore& store, const Options& options, bool headAlone,
                                       std::string& note) {
    const std::vector<RunKey> runs = store.runKeys(*options.platform, *options.project);
    if (runs.empty()) {
        throw StoreError("no run of platform " + *options.platform + " and project " +
                         *options.project);
    }
    const RunKey& head = options.head ? findRun(runs, *options.head) : runs.front();
    const RunKey* base = nullptr;
    if (options.base) {
        base = &findRun(runs, *options.base);
    } else if (const auto at = static_cast<std::size_t>(&head - runs.data());
               at + 1 < runs.size()) {
        base = &runs[at + 1];
    }
    if (base == nullptr) {
        note = "No base run: " + head.githash + " (" + stampOf(head) + ") is the oldest run of " +
               head.platform + " / " + head.project +
               "; a missing baseline is not counted as zero findings.";
        if (!headAlone) {
            return std::nullopt;
        }
        const std::vector<FileRow> rows = store.files(head);
        Comparison alone = compareRuns(head, rows, head, rows);
        alone.hasBase = false;
        return alone;
    }
    return compareRuns(*base, store.files(*base), head, store.files(head));
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

int loadScripts(const Options& options, std::ostream& out, std::ostream& err) {
    int status = historyDone;
    for (const std::string& path : options.scripts) {
        std::string script;
        if (const std::string problem = readScript(path, script); !problem.empty()) {
            err << "vendrik-history: " << path << ": " << problem << '\n';
            status = historyFailed;
            continue;
        }
        if (script.find('\0') != std::string::npos) {
            err << "vendrik-history: " << path << ": refused: the script holds a NUL byte\n";
            status = historyFailed;
            continue;
        }
        try {
            const LoadResult result =
                loadScript(options.database, script, options.busyMilliseconds);
            for (const RunKey& run : result.runsPresent) {
                out << path << ": the run " << run.githash << " (" << stampOf(run) << ") of "
                    << run.platform << " / " << run.project
                    << " is already in the database; nothing added\n";
            }
            if (result.runsPresent.empty()) {
                out << path << ": " << result.rowsAdded << " rows added\n";
            }
        } catch (const StoreError& error) {
            err << "vendrik-history: " << path << ": " << error.what() << '\n';
            status = historyFailed;
        }
    }
    return status;
}

/// Writes the page whole or not at all: a failure leaves a previous page as it was.
int writePage(HistoryStore& store, const Options& options) {
    std::ostringstream page;
    writeHistoryPage(page, store);
    if (!writeWholeOutputFile(options.output, page.str())) {
        throw StoreError("could not write " + options.output);
    }
    return historyDone;
}

/// The subcommands, as CLI11 records which was given.
struct Commands {
    CLI::App* runs;
    CLI::App* compare;
    CLI::App* gate;
    CLI::App* page;
    CLI::App* load;
};

/// The command line of vendrik-history, each option filling its field of `options`.
Commands defineCommands(CLI::App& app, Options& options) {
    app.require_subcommand(1);
    const auto addDatabase = [&](CLI::App* command) {
        command->add_option("--database", options.database, "the SQLite results database")
            ->required();
        command->add_option("--busy-timeout", options.busyMilliseconds,
                            "how long to wait for a locked database, in milliseconds (5000)");
    };
    const auto addComparison = [&](CLI::App* command) {
        addDatabase(command);
        command->add_option("--platform", options.platform, "the platform")->required();
        command->add_option("--project", options.project, "the project")->required();
        command->add_option("--base", options.base,
                            "the base run: a hash, a unique prefix of one, or "
                            "\"YYYY.MM.DD HH:MM:SS\" (default: the run before head)");
        command->add_option("--head", options.head, "the head run (default: the newest)");
        command->add_option("--format", options.format, "text, markdown or json")
            ->check(CLI::IsMember({"text", "markdown", "json"}));
    };
    Commands commands{};
    commands.runs = app.add_subcommand("runs", "list the runs, newest first");
    addDatabase(commands.runs);
    commands.runs->add_option("--platform", options.platform, "only the runs of this platform");
    commands.runs->add_option("--project", options.project, "only the runs of this project");
    commands.compare = app.add_subcommand("compare", "compare two runs file by file");
    addComparison(commands.compare);
    commands.gate = app.add_subcommand(
        "gate", "fail (status 1) when a watched count of any file grew or a limit is passed");
    addComparison(commands.gate);
    commands.gate->add_option("--watch", options.watch,
                              "the columns to watch, separated by commas");
    for (std::size_t column = 0; column < comparedColumns.size(); ++column) {
        commands.gate->add_option("--max-" + std::string(comparedColumns[column]),
                                  options.limits[column],
                                  "fail when the head run's total " +
                                      std::string(comparedColumns[column]) + " is above this");
    }
    commands.page = app.add_subcommand("page", "write the history as one HTML page");
    addDatabase(commands.page);
    commands.page->add_option("--output", options.output, "the HTML file to write")->required();
    commands.load = app.add_subcommand("load", "load converter SQL scripts into the database");
    addDatabase(commands.load);
    commands.load
        ->add_option("scripts", options.scripts, "the scripts, each loaded whole or not at all")
        ->required();
    return commands;
}

/// compare, or with `gate` the gate: prints the result and returns the status.
int compareOrGate(HistoryStore& store, const Options& options, bool gate,
                  const std::vector<std::size_t>& watched, std::ostream& out) {
    std::vector<std::pair<std::size_t, std::int64_t>> limits;
    for (std::size_t column = 0; column < options.limits.size(); ++column) {
        if (options.limits[column]) {
            limits.emplace_back(column, *options.limits[column]);
        }
    }
    // A limit on head's totals needs no base run.
    std::string note;
    const std::optional<Comparison> comparison =
        comparisonOf(store, options, gate && !limits.empty(), note);
    const Format format = formatOf(options.format);
    if (!note.empty() && !(comparison && format == Format::json)) { // JSON: "base": null
        out << note << '\n' << (comparison ? "\n" : "");
    }
    if (!comparison) {
        return historyDone;
    }
    if (!gate) {
        printComparison(out, *comparison, format);
        return historyDone;
    }
    const GateResult result = evaluateGate(*comparison, watched, limits);
    printGate(out, *comparison, result, watched, format);
    return result.failed ? gateFailed : historyDone;
}

} // namespace

int runHistoryMain(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
    Options options;
    CLI::App app("Reads the QAC results database that vendrik's SQL scripts fill: lists runs, "
                 "compares them, gates a pipeline and draws the trend.",
                 "vendrik-history");
    const Commands commands = defineCommands(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help, out, err);
    } catch (const CLI::ParseError& error) {
        err << "vendrik-history: " << error.what() << "\nRun with --help for usage.\n";
        return historyFailed;
    }

    std::vector<std::size_t> watched;
    std::stringstream names(options.watch);
    for (std::string name; std::getline(names, name, ',');) {
        const auto column = columnIndex(name);
        if (!column) {
            err << "vendrik-history: --watch: no column named " << name << '\n';
            return historyFailed;
        }
        watched.push_back(*column);
    }

    try {
        if (commands.load->parsed()) {
            return loadScripts(options, out, err);
        }
        if (commands.page->parsed() && namesOneFile(options.output, options.database)) {
            throw StoreError("refused: --output names the database " + options.database);
        }
        const auto store = openSqliteStore(options.database, options.busyMilliseconds);
        if (commands.runs->parsed()) {
            printRuns(out, store->runs(options.platform, options.project));
            return historyDone;
        }
        if (commands.page->parsed()) {
            return writePage(*store, options);
        }
        return compareOrGate(*store, options, commands.gate->parsed(), watched, out);
    } catch (const StoreError& error) {
        err << "vendrik-history: " << error.what() << '\n';
        return historyFailed;
    } catch (const std::bad_alloc&) {
        err << "vendrik-history: not enough memory\n";
        return historyFailed;
    }
}

} // namespace vendrik::history
