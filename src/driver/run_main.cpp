#include "driver/run_main.h"

#include "analysis/findings_by_file.h"
#include "driver/memory_policy.h"
#include "driver/run_options.h"
#include "driver/version_banner.h"
#include "output/code_quality.h"
#include "output/native_path.h"
#include "output/output_file.h"
#include "output/output_lines.h"
#include "output/run_timestamp.h"
#include "output/same_file.h"
#include "output/sarif_log.h"
#include "output/sql_script.h"
#include "output/summary_report.h"
#include "parse/report_reader.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace vendrik {

namespace {

int fail(std::ostream& console, std::string_view reason, RunStatus status) {
    console << "Vendrik error: " << reason << '\n' << std::flush;
    return status;
}

/// The files the run writes: the output, then the exports asked for.
std::vector<std::string> filesWritten(const RunOptions& options) {
    std::vector<std::string> paths = {options.output};
    if (options.sarifOutputGiven) {
        paths.push_back(options.sarifOutput);
    }
    if (options.codequalityOutputGiven) {
        paths.push_back(options.codequalityOutput);
    }
    if (options.historySarifOutputGiven) {
        paths.push_back(options.historySarifOutput);
    }
    return paths;
}

/// True when each file the run writes is a file of its own: not the report (it would be
/// lost), not another of them (only one would be left), and, for an export, not the console's
/// file (it would be mixed with the banner and the echo).
bool eachWrittenFileItsOwn(const RunOptions& options) {
    const std::vector<std::string> paths = filesWritten(options);
    for (std::size_t index = 0; index < paths.size(); ++index) {
        if (sameFile(options.input, paths[index]) ||
            (index > 0 && isStandardOutput(paths[index]))) {
            return false;
        }
        for (std::size_t other = 0; other < index; ++other) {
            if (namesOneFile(paths[other], paths[index])) {
                return false;
            }
        }
    }
    return true;
}

/// The export files of a run, opened when asked for.
struct ExportFiles {
    OutputFile sarif;
    OutputFile quality;
    OutputFile history; ///< the SARIF log of every finding, whatever the cap, for the history
};

/// Writes the output's `text` and the exports asked for, closes them all, and only then puts
/// them in place, the output last: a failure leaves it as it was. False when any step fails.
bool writeRunFiles(const RunOptions& options, const FindingsList& findings, const RunStamp& stamp,
                   const std::string& text, OutputFile& output, ExportFiles& exports) {
    const auto into = [](OutputFile& file) {
        return [&file](std::string_view piece) { return writeOutputFile(file, piece); };
    };
    std::vector<OutputFile*> files;
    bool written = true;
    // Both exports keep the same findings: all, or the most serious under a cap.
    const std::optional<std::size_t> cap = reviewCap(options);
    const ReviewSelection selection = selectReviewFindings(findings, cap);
    const auto log = [&](std::optional<std::size_t> logCap) {
        return SarifRun{options.platform,
                        options.typName,
                        options.hashValue,
                        stamp.date,
                        stamp.time,
                        options.reviewCategory,
                        options.repositoryUri,
                        options.branch,
                        logCap,
                        stamp.utc};
    };
    if (options.sarifOutputGiven) {
        files.push_back(&exports.sarif);
        written = writeSarifLog(findings, log(cap), into(exports.sarif), selection);
    }
    if (options.codequalityOutputGiven) {
        files.push_back(&exports.quality);
        written = written && writeCodeQuality(findings, into(exports.quality), selection);
    }
    if (options.historySarifOutputGiven) {
        files.push_back(&exports.history);
        written = written && writeSarifLog(findings, log(std::nullopt), into(exports.history),
                                           selectReviewFindings(findings, std::nullopt));
    }
    files.push_back(&output);
    const auto all = [&](bool (*step)(OutputFile&)) {
        return std::all_of(files.begin(), files.end(),
                           [&](OutputFile* file) { return step(*file); });
    };
    return written && writeOutputFile(output, text) && all(closeOutputFile) &&
           all(commitOutputFile);
}

/// The options of `arguments`, with the names of the files taken from `systemArguments`, the
/// command line as the system holds it, where it has as many arguments: every other value
/// keeps the bytes it is written with.
RunOptions runOptionsOf(const std::vector<std::string>& arguments,
                        const std::vector<std::string>& systemArguments) {
    RunOptions options;
    parseRunOptions(options, arguments);
    if (systemArguments.size() == arguments.size()) {
        RunOptions named;
        parseRunOptions(named, systemArguments);
        options.input = named.input;
        options.output = named.output;
        options.sarifOutput = named.sarifOutput;
        options.codequalityOutput = named.codequalityOutput;
        options.historySarifOutput = named.historySarifOutput;
    }
    return options;
}

/// The output of the run: the findings grouped and ranked by file, stamped with the run's
/// time, as the SQL script or the summary.
std::string outputText(const RunOptions& options, const FindingsList& findings,
                       const RunStamp& stamp) {
    const FindingsByFile groups = groupFindingsByFile(findings);
    const std::vector<FileFindings> ranked = rankFileFindings(groups);
    const std::string& runDate = stamp.date;
    const std::string& runTime = stamp.time;

    OutputLines lines;
    if (sqlModeSelected(options)) {
        appendSqlScript(lines, ranked, runDate, runTime, options.platform, options.typName,
                        options.hashValue);
    } else {
        appendSummaryReport(lines, ranked, wholeList(findings), runDate, runTime, options.platform,
                            options.typName);
    }
    return joinOutputLines(lines);
}

int convert(int argc, const char* const argv[], std::ostream& console,
            const std::vector<std::string>& systemArguments) {
    printVersionBanner(argc > 0 ? argv[0] : "", console);

    const std::vector<std::string> arguments(argv, argv + argc);
    const RunOptions options = runOptionsOf(arguments, systemArguments);
    if (arguments.size() < 5) {
        return fail(console, "Not enough command line arguments", tooFewArguments);
    }

    // Read as bytes: the reader itself treats CR LF as a line end, and no byte (such as the
    // Ctrl-Z that ends text-mode input on Windows) cuts the report short.
    std::ifstream input;
    if (!isDirectory(options.input)) {
        input.open(nativePath(options.input), std::ios::in | std::ios::binary);
    }
    if (!input.is_open()) {
        return fail(console, "Could not open input file", inputNotOpened);
    }
    if (!eachWrittenFileItsOwn(options)) {
        return fail(console, "Could not open output file", outputNotOpened);
    }
    // When the output is the console's own file, the file is the echo: it is written once,
    // in place, where the console's text already stands.
    const bool outputIsConsole = isStandardOutput(options.output);
    OutputFile output;
    if (!openOutputFile(output, options.output,
                        outputIsConsole ? Replacement::inPlace : Replacement::whole)) {
        return fail(console, "Could not open output file", outputNotOpened);
    }
    // The exports for code review, each replaced whole like the output.
    ExportFiles exports;
    if ((options.sarifOutputGiven &&
         !openOutputFile(exports.sarif, options.sarifOutput, Replacement::whole)) ||
        (options.codequalityOutputGiven &&
         !openOutputFile(exports.quality, options.codequalityOutput, Replacement::whole)) ||
        (options.historySarifOutputGiven &&
         !openOutputFile(exports.history, options.historySarifOutput, Replacement::whole))) {
        return fail(console, "Could not open output file", outputNotOpened);
    }

    keepFreedMemory(); // the reader's blocks come and go; their pages are reused
    FindingsList findings;
    readReport(input, findings);
    if (input.bad()) {
        return fail(console, "Could not read input file", inputNotOpened);
    }
    input.close();

    // One stamp for the output and the SARIF log: a run loaded from both is one run.
    const RunStamp stamp = takeRunStamp();
    const std::string text = outputText(options, findings, stamp);
    if (!writeRunFiles(options, findings, stamp, text, output, exports)) {
        return fail(console, "Could not write output file", outputNotWritten);
    }
    if (!outputIsConsole) {
        console.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    return runCompleted;
}

} // namespace

int runMain(int argc, const char* const argv[], std::ostream& console,
            const std::vector<std::string>& systemArguments) {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN); // a write past the file size limit fails like any other
#endif
    removeTemporariesOnInterrupt();

    try {
        return convert(argc, argv, console, systemArguments);
    } catch (const std::bad_alloc&) {
        // Everything of the run is released by now, and a temporary output removed.
        return fail(console, "Not enough memory", outOfMemory);
    }
}

} // namespace vendrik
