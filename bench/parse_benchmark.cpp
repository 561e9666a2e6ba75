// Micro-benchmarks of one report line's parse, on typical and adversarial lines, with the
// project's matcher and, for comparison, the std::regex engine.

#include "parse/finding.h"
#include "parse/line_matcher.h"
#include "parse/regex_grammar.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const std::string typical =
    "D:\\Jenkins\\workspace\\ecu_nightly\\Src\\Src_NV\\Drivers\\module_12\\can_if_101.c (1422) "
    ": warning : QAC(Prio3) Msg: 3200(Function return value is not used.) [U] Ref: MISRA "
    "C:2012 Rule-17.7";
const std::string ruleInReference =
    "D:\\Jenkins\\workspace\\ecu_nightly\\Src\\Src_NV\\Drivers\\module_12\\can_if_101.c (1422) "
    ": warning : QAC(Prio3) Msg: 3200(Function return value is not used.) [U] Ref:MISRA "
    "C:2012 Rule-17.7";
const std::string outsideTree =
    "C:\\Program Files\\HighTec\\toolchains\\tricore\\include\\stdint.h (12) : warning : "
    "QAC(Prio5) Msg: 0602(The identifier '__int64' is reserved for use by the library.) [L] "
    "Ref: MISRA C:2012 Rule-21.2";
const std::string header = "-- Analysing file Core\\module_0\\io_buffer_0.c --";

std::string repeated(std::string_view piece, std::size_t times, std::string_view tail = "") {
    std::string line;
    for (std::size_t i = 0; i < times; ++i) {
        line += piece;
    }
    return line + std::string(tail);
}

void parseLine(benchmark::State& state, const std::string& line) {
    for (auto _ : state) {
        vendrik::Finding finding;
        benchmark::DoNotOptimize(vendrik::parseReportLine(finding, line));
        benchmark::DoNotOptimize(finding);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
}

void matchWithRegex(benchmark::State& state, const std::string& line) {
    vendrik::ReportLineGroups groups;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vendrik::matchReportLineRegex(line, groups));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
}

// The adversarial lines hold the source-tree marker, so that they reach the matcher.
const std::string adversarialSegments =
    repeated("Src\\Src_NV\\x.c (1) : warning : QAC(Prio1) Msg: 1(", 1000, "a.) Ref: z");
const std::string adversarialClosings =
    "Src\\Src_NV\\x.c (1) : warning : QAC(Prio1) Msg: 1(" + repeated(".)", 500'000);
const std::string megabyteText = "Src\\Src_NV\\a.c (1) : warning : QAC(Prio1) Msg: 1(" +
                                 std::string(1 << 20, 'a') + ".) Ref: MISRA C:2012 Rule-1.1";

} // namespace

BENCHMARK_CAPTURE(parseLine, typical, typical);
BENCHMARK_CAPTURE(parseLine, ruleInReference, ruleInReference);
BENCHMARK_CAPTURE(parseLine, outsideTree, outsideTree);
BENCHMARK_CAPTURE(parseLine, header, header);
BENCHMARK_CAPTURE(parseLine, adversarialSegments, adversarialSegments);
BENCHMARK_CAPTURE(parseLine, adversarialClosings, adversarialClosings);
BENCHMARK_CAPTURE(parseLine, megabyteText, megabyteText);
BENCHMARK_CAPTURE(matchWithRegex, typical, typical);
BENCHMARK_CAPTURE(matchWithRegex, outsideTree, outsideTree);

BENCHMARK_MAIN();
