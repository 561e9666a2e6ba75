#!/usr/bin/env bash
# Sizes and times of the review exports on generated reports of LINES lines each (default
# 100000 and 1000000): the SARIF log and the Code Quality report without a cap and with
# --review_max_findings=25000 (GitHub's limit per run): results, bytes, gzipped bytes; and the
# median of ROUNDS paired runs of the summary alone and of the summary with both capped
# exports, with their ratio.
#   bench/review_exports.sh [ROUNDS [LINES...]]                 (default 5 rounds)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVENDRIK_BUILD_TESTS=OFF \
    -DVENDRIK_BUILD_BENCH=ON >/dev/null
cmake --build build-bench >/dev/null
rounds=${1:-5}
shift || true
sizes=("${@:-100000}")
[ $# -gt 0 ] || sizes=(100000 1000000)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p bench/data
seconds() { build-bench/bench/measure "$@" 2>&1 >/dev/null | tail -n 1 | cut -d ' ' -f 1; }
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
for lines in "${sizes[@]}"; do
    report=bench/data/report-$lines.txt
    [ -s "$report" ] || build-bench/bench/generate_report "$lines" >"$report"
    run=(build-bench/vendrik --platform=P --input="$report" --typ_name=T --typ_var=V
        --output="$work/summary.txt")
    for cap in "" 25000; do
        "${run[@]}" --sarif_output="$work/log.sarif" --codequality_output="$work/cq.json" \
            ${cap:+--review_max_findings=$cap} >/dev/null
        printf '%8s lines, cap %-6s SARIF %8s results %10s bytes %9s gzipped; Code Quality %10s bytes\n' \
            "$lines" "${cap:-none}" "$(grep -o '"ruleId"' "$work/log.sarif" | wc -l)" \
            "$(stat -c %s "$work/log.sarif")" "$(gzip -c "$work/log.sarif" | wc -c)" \
            "$(stat -c %s "$work/cq.json")"
    done
    plain=() capped=()
    for _ in $(seq "$rounds"); do
        plain+=("$(seconds "${run[@]}")")
        capped+=("$(seconds "${run[@]}" --sarif_output="$work/log.sarif" \
            --codequality_output="$work/cq.json" --review_max_findings=25000)")
    done
    a=$(median "${plain[@]}") b=$(median "${capped[@]}")
    echo "$lines lines: summary $a s, with both exports capped at 25000 $b s" \
        "(medians of $rounds paired runs), ratio $(awk "BEGIN{printf \"%.2f\", $b / $a}")"
done
