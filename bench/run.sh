#!/usr/bin/env bash
# Measures, in one run on the same generated report: the line-reading floor (std::getline
# only), Vendrik end to end, Vendrik with each review export (SARIF, Code Quality), Vendrik
# built with the std::regex engine and, where mingw-w64 and wine are installed, the Windows
# program under wine; then a report of one 10 MB warning
# line and one 10 MB non-warning line. Each program runs once untimed, then five rounds run
# every program once in turn (paired runs), and the median wall time counts; peak resident
# memory is the largest of the five.
#   bench/run.sh [LINES]          (default 1000000; the report is kept in bench/data)
#   bench/run.sh --micro          the Google Benchmark micro-benchmarks of parseReportLine
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVENDRIK_BUILD_TESTS=OFF \
    -DVENDRIK_BUILD_BENCH=ON >/dev/null
cmake --build build-bench >/dev/null
if [ "${1:-}" = "--micro" ]; then
    exec build-bench/bench/vendrik_parse_benchmark
fi
cmake -S . -B build-bench-regex -G Ninja -DCMAKE_BUILD_TYPE=Release -DVENDRIK_BUILD_TESTS=OFF \
    -DVENDRIK_STD_REGEX_ENGINE=ON >/dev/null
cmake --build build-bench-regex --target vendrik >/dev/null

lines=${1:-1000000}
mkdir -p bench/data
# Kept per generator build, so that a changed generator gives a new report.
generator=$(md5sum build-bench/bench/generate_report | cut -c 1-8)
report=bench/data/report-$lines-$generator.txt
[ -s "$report" ] || build-bench/bench/generate_report "$lines" >"$report"
bytes=$(stat -c %s "$report")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

run_args=(--platform=TargetA --typ_name=Bench --typ_var=V1)
names=(floor vendrik sarif codequality std_regex)
declare -A command=(
    [floor]="build-bench/bench/read_lines $report"
    [vendrik]="build-bench/vendrik ${run_args[*]} --input=$report --output=$scratch/ours.txt"
    [sarif]="build-bench/vendrik ${run_args[*]} --input=$report --output=$scratch/s.txt --sarif_output=$scratch/log.sarif"
    [codequality]="build-bench/vendrik ${run_args[*]} --input=$report --output=$scratch/c.txt --codequality_output=$scratch/quality.json"
    [std_regex]="build-bench-regex/vendrik ${run_args[*]} --input=$report --output=$scratch/regex.txt"
)
if command -v wine >/dev/null && command -v x86_64-w64-mingw32-g++ >/dev/null; then
    cmake -S . -B build-bench-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DVENDRIK_BUILD_TESTS=OFF >/dev/null
    cmake --build build-bench-windows --target vendrik >/dev/null
    export WINEPREFIX=$PWD/build-bench-windows/wine-prefix WINEDEBUG=-all
    [ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1
    wineserver -p # kept running: the runs do not each start it
    trap 'rm -rf "$scratch"; wineserver -k' EXIT
    names+=(windows)
    command[windows]="wine build-bench-windows/Vendrik.exe ${run_args[*]} --input=$report --output=$scratch/windows.txt"
fi

# The median wall seconds and largest peak KiB of each program (the paths here hold no
# blanks): measure NAME...
declare -A wall rss
measure() {
    local name round out seconds kib
    declare -A times=()
    for name in "$@"; do
        ${command[$name]} >/dev/null 2>&1 || true # brings report and program into the cache
        rss[$name]=0
    done
    for round in 1 2 3 4 5; do
        for name in "$@"; do
            out=$(build-bench/bench/measure ${command[$name]} 2>&1 >/dev/null | tail -n 1)
            read -r seconds kib <<<"$out"
            times[$name]+="$seconds "
            if [ "$kib" -gt "${rss[$name]}" ]; then rss[$name]=$kib; fi
        done
    done
    for name in "$@"; do
        wall[$name]=$(printf '%s\n' ${times[$name]} | sort -n | sed -n 3p)
    done
}
measure "${names[@]}"

# Both builds must write the same summary (but for the time stamp).
if ! diff <(cut -c 22- "$scratch/ours.txt") <(cut -c 22- "$scratch/regex.txt") >/dev/null; then
    echo "the two builds disagree" >&2
    exit 1
fi

mib() { awk "BEGIN{printf \"%.0f\", $1 / 1024}"; }
echo "Report: $report, $lines lines, $(awk "BEGIN{printf \"%.1f\", $bytes / 1048576}") MiB"
echo
printf '| %-34s | %8s | %8s | %14s | %11s |\n' "program" "wall (s)" "MiB/s" "peak RSS (MiB)" "RSS/report"
printf '|%s|%s|%s|%s|%s|\n' "------------------------------------" "----------" "----------" "----------------" "-------------"
for name in "${names[@]}"; do
    case $name in
    floor) label="floor: std::getline loop" ;;
    vendrik) label="vendrik end to end" ;;
    sarif) label="vendrik with --sarif_output" ;;
    codequality) label="vendrik with --codequality_output" ;;
    std_regex) label="vendrik with the std::regex engine" ;;
    windows) label="Vendrik.exe under wine" ;;
    esac
    printf '| %-34s | %8.3f | %8.0f | %14s | %11.2f |\n' "$label" "${wall[$name]}" \
        "$(awk "BEGIN{print $bytes / 1048576 / ${wall[$name]}}")" "$(mib "${rss[$name]}")" \
        "$(awk "BEGIN{print ${rss[$name]} * 1024 / $bytes}")"
done
echo
ratio() { awk "BEGIN{printf \"%-28s %.1f times\n\", \"$1:\", ${wall[$2]} / ${wall[$3]}}"; }
ratio "vendrik / floor" vendrik floor
ratio "std::regex build / vendrik" std_regex vendrik
ratio "SARIF run / vendrik" sarif vendrik
ratio "Code Quality run / vendrik" codequality vendrik
echo "SARIF log $(du -m "$scratch/log.sarif" | cut -f1) MiB, Code Quality report $(du -m "$scratch/quality.json" | cut -f1) MiB"
if [ -n "${wall[windows]:-}" ]; then
    ratio "Vendrik.exe under wine / vendrik" windows vendrik
    diff <(cut -c 22- "$scratch/ours.txt") <(cut -c 22- "$scratch/windows.txt" | tr -d '\r') >/dev/null ||
        { echo "the Windows program disagrees" >&2; exit 1; }
fi

# One line of 10 MB that is a warning, one that is not.
long=$scratch/long.txt
{
    printf 'D:\\ci\\Src\\Src_NV\\long.c (1) : warning : QAC(Prio1) Msg: 1('
    head -c 10000000 /dev/zero | tr '\0' 'a'
    printf '.) Ref: MISRA C:2012 Rule-1.1\n'
    head -c 10000000 /dev/zero | tr '\0' '.'
    printf ')\n'
} >"$long"
command[long]="build-bench/vendrik ${run_args[*]} --input=$long --output=$scratch/long.out"
measure long
grep -q 'long.c, "1"' "$scratch/long.out" || { echo "the 10 MB warning was not read" >&2; exit 1; }
echo "two 10 MB lines (one warning, one not): ${wall[long]} s"
