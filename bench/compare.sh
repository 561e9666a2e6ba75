#!/usr/bin/env bash
# Times two builds of the converter side by side on one report: each runs once untimed, then
# ROUNDS rounds run BEFORE and AFTER in turn (paired runs); prints the median wall time of
# each, their ratio, and whether both wrote the same summary (but for the time stamp). With
# EXPORT (--sarif_output or --codequality_output) both runs write that export too.
#   bench/compare.sh BEFORE AFTER REPORT [ROUNDS] [EXPORT]      (default 21 rounds)
set -euo pipefail
cd "$(dirname "$0")/.."
before=$1 after=$2 report=$3 rounds=${4:-21} export=${5:-}
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVENDRIK_BUILD_TESTS=OFF \
    -DVENDRIK_BUILD_BENCH=ON >/dev/null
cmake --build build-bench --target measure >/dev/null
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
arguments=(--platform=P --input="$report" --typ_name=T --typ_var=V)
seconds() { # seconds PROGRAM OUTPUT
    build-bench/bench/measure "$1" "${arguments[@]}" --output="$2" \
        ${export:+"$export=$2.export"} 2>&1 >/dev/null | tail -n 1 | cut -d ' ' -f 1
}
"$before" "${arguments[@]}" --output="$scratch/a" >/dev/null
"$after" "${arguments[@]}" --output="$scratch/b" >/dev/null
times_before=() times_after=()
for _ in $(seq "$rounds"); do
    times_before+=("$(seconds "$before" "$scratch/a")")
    times_after+=("$(seconds "$after" "$scratch/b")")
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
a=$(median "${times_before[@]}")
b=$(median "${times_after[@]}")
echo "before $a s, after $b s (medians of $rounds paired runs), after / before $(awk "BEGIN{printf \"%.3f\", $b / $a}")"
if diff <(cut -c 22- "$scratch/a") <(cut -c 22- "$scratch/b") >/dev/null; then
    echo "the same summary (but for the time stamp)"
else
    echo "the summaries differ"
fi
