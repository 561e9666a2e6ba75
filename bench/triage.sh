#!/usr/bin/env bash
# Times decisions on the database of bench/history.sh (generated first when missing): 10,000
# decisions in the database, made by ten triage set of 1,000 findings each (each timed), and
# 500 rules in a file; then gate --max-new=0 and compare of the newest two runs
# without decisions and with them, paired in one run (seven runs each, alternating; the
# medians), each with its number of queries.
#   bench/triage.sh [RUNS [FILES [FINDINGS]]]     (default 3650 runs, 4000 files, 75000)
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
cp "$database" "$work/decided.db"
series=(--platform=TargetA --project=Nightly)
measure() { build-bench/bench/measure build-bench/bench/count_queries "$@" 2>&1 >/dev/null || true; }
seconds() { tail -n 1 <<<"$1" | cut -d' ' -f1; }
queries() { sed -n 's/^queries: //p' <<<"$1"; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# The newest run's findings: 10,000 decided in the database, the next 500 by rules.
sqlite3 "$work/decided.db" "select fingerprint from vendrik_history_findings where platform =
    'TargetA' and project = 'Nightly' and branch = '' and last = '~' order by fingerprint
    limit 10500" >"$work/prints.txt"
sets=()
for batch in $(seq 0 9); do
    arguments=()
    while read -r print; do
        arguments+=("--fingerprint=$print")
    done < <(sed -n "$((batch * 1000 + 1)),$((batch * 1000 + 1000))p" "$work/prints.txt")
    out=$(measure triage set --database="$work/decided.db" "${series[@]}" "${arguments[@]}" \
        --state=accepted --reason="reviewed in bulk" --expires=2099-12-31)
    sets+=("$(seconds "$out")")
done
echo "triage set of 1,000 findings, ten times: median $(printf '%s\n' "${sets[@]}" | median) s" \
    "(${sets[*]}), $(queries "$out") queries each"
{
    echo "rules:"
    sed -n '10001,10500p' "$work/prints.txt" | while read -r print; do
        printf '  - fingerprint: "%s"\n    state: false-positive\n    reason: by rule\n' "$print"
    done
} >"$work/rules.yaml"
echo "Decisions: $(sqlite3 "$work/decided.db" 'select count(*) from vendrik_history_decisions')" \
    "in the database, 500 rules in a file"
printf '| %-8s | %14s | %15s | %5s | %7s | %7s |\n' command "without (s)" "with (s)" ratio \
    queries "with"
for command in gate compare; do
    without=()
    with=()
    more=()
    [ "$command" = gate ] && more=(--max-new=0)
    for _ in 1 2 3 4 5 6 7; do
        plain=$(measure "$command" --database="$database" "${series[@]}" "${more[@]}")
        decided=$(measure "$command" --database="$work/decided.db" "${series[@]}" "${more[@]}" \
            --decisions="$work/rules.yaml")
        without+=("$(seconds "$plain")")
        with+=("$(seconds "$decided")")
    done
    a=$(printf '%s\n' "${without[@]}" | median)
    b=$(printf '%s\n' "${with[@]}" | median)
    printf '| %-8s | %14s | %15s | %5s | %7s | %7s |\n' "$command" "$a" "$b" \
        "$(awk -v a="$a" -v b="$b" 'BEGIN {printf "%.2f", b / a}')" "$(queries "$plain")" \
        "$(queries "$decided")"
done
