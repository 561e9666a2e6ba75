#!/usr/bin/env bash
# Times vendrik-history compliance on the newest run of the database of bench/history.sh
# (generated first when missing; 75,000 findings) in every format, with the example's plans,
# against a floor: triage list of the same run, which reads the same findings and decisions
# and writes them. Paired in one run: five rounds, each format and the floor in turn; the
# medians, each with its number of queries.
#   bench/compliance.sh [RUNS [FILES [FINDINGS]]]   (default 3650 runs, 4000 files, 75000)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3650}
files=${2:-4000}
findings=${3:-75000}
database=bench/data/history-$runs-$files-$findings.db
[ -s "$database" ] || bash bench/history.sh "$runs" "$files" "$findings" >/dev/null
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVENDRIK_BUILD_TESTS=OFF \
    -DVENDRIK_BUILD_BENCH=ON >/dev/null
cmake --build build-bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
series=(--database="$database" --platform=TargetA --project=Nightly)
plans=(--recategorization=examples/compliance/recategorization.yaml
    --deviations=examples/compliance/deviations.yaml
    --enforcement=examples/compliance/enforcement.yaml)
measure() { build-bench/bench/measure build-bench/bench/count_queries "$@" 2>&1 >/dev/null || true; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
formats=(text markdown json csv html)
declare -A times queries
for _ in 1 2 3 4 5; do
    out=$(measure triage list "${series[@]}" --format=json)
    times[floor]+="$(tail -n 1 <<<"$out" | cut -d' ' -f1) "
    queries[floor]=$(sed -n 's/^queries: //p' <<<"$out")
    for format in "${formats[@]}"; do
        out=$(measure compliance "${series[@]}" "${plans[@]}" --format="$format" \
            --output="$work/gcs.$format")
        times[$format]+="$(tail -n 1 <<<"$out" | cut -d' ' -f1) "
        queries[$format]=$(sed -n 's/^queries: //p' <<<"$out")
    done
done
floor=$(tr ' ' '\n' <<<"${times[floor]}" | grep . | median)
echo "compliance of the newest run ($(grep -c . <<<"$(sqlite3 "$database" "select 1 from \
vendrik_history_findings where platform = 'TargetA' and project = 'Nightly' and last = '~'")") findings)"
printf '| %-28s | %8s | %8s | %7s |\n' command "wall (s)" "/ floor" queries
printf '| %-28s | %8s | %8s | %7s |\n' "triage list (floor)" "$floor" 1.00 "${queries[floor]}"
for format in "${formats[@]}"; do
    seconds=$(tr ' ' '\n' <<<"${times[$format]}" | grep . | median)
    printf '| %-28s | %8s | %8s | %7s |\n' "compliance --format=$format" "$seconds" \
        "$(awk -v a="$seconds" -v b="$floor" 'BEGIN {printf "%.2f", a / b}')" "${queries[$format]}"
done
