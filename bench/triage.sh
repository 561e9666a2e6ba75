#!/usr/bin/env bash
# Times decisions on the database of bench/history.sh (generated first when missing): 10,000
# decisions in the database, made by ten triage set of 1,000 findings each (each timed), and
# 500 rules in a file; then gate --max-new=0 and compare of the newest two runs
# without decisions and with them, paired in one run (seven runs each, alternating; the
# medians), each with its number of queries. With --postgres, on a throwaway PostgreSQL 15
# server (durable, over a Unix socket) that the database is copied into, as
# bench/history_postgres.sh does.
#   bench/triage.sh [--postgres] [RUNS [FILES [FINDINGS]]]   (default 3650 runs, 4000 files, 75000)
set -euo pipefail
cd "$(dirname "$0")/.."
postgres=false
if [ "${1:-}" = --postgres ]; then
    postgres=true
    shift
fi
runs=${1:-3650}
files=${2:-4000}
findings=${3:-75000}
database=bench/data/history-$runs-$files-$findings.db
[ -s "$database" ] || bash bench/history.sh "$runs" "$files" "$findings" >/dev/null
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVENDRIK_BUILD_TESTS=OFF \
    -DVENDRIK_BUILD_BENCH=ON >/dev/null
cmake --build build-bench >/dev/null
work=$(mktemp -d)
if $postgres; then
    chmod 755 "$work"
    trap 'bash tests/postgres_server.sh stop "$work/server"; rm -rf "$work"' EXIT
    bash tests/postgres_server.sh start "$work/server" durable
    server=$(cat "$work/server/url")
    psql "$server" -qc "create database plain"
    plain=$(sed 's|/postgres?|/plain?|' <<<"$server")
    build-bench/bench/copy_to_postgres "$database" "$plain"
    psql "$server" -qc "create database decided template plain"
    decided=$(sed 's|/postgres?|/decided?|' <<<"$server")
    sql() { psql "$decided" -Atc "$1"; }
else
    trap 'rm -rf "$work"' EXIT
    cp "$database" "$work/decided.db"
    plain=$database
    decided=$work/decided.db
    sql() { sqlite3 "$decided" "$1"; }
fi
series=(--platform=TargetA --project=Nightly)
measure() { build-bench/bench/measure build-bench/bench/count_queries "$@" 2>&1 >/dev/null || true; }
seconds() { tail -n 1 <<<"$1" | cut -d' ' -f1; }
queries() { sed -n 's/^queries: //p' <<<"$1"; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# The newest run's findings: 10,000 decided in the database, the next 500 by rules.
sql "select fingerprint from vendrik_history_findings where platform = 'TargetA' and project =
    'Nightly' and branch = '' and last = '~' order by fingerprint limit 10500" >"$work/prints.txt"
sets=()
for batch in $(seq 0 9); do
    arguments=()
    while read -r print; do
        arguments+=("--fingerprint=$print")
    done < <(sed -n "$((batch * 1000 + 1)),$((batch * 1000 + 1000))p" "$work/prints.txt")
    out=$(measure triage set --database="$decided" "${series[@]}" "${arguments[@]}" \
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
echo "Decisions: $(sql 'select count(*) from vendrik_history_decisions')" \
    "in the database, 500 rules in a file"
printf '| %-8s | %14s | %15s | %5s | %7s | %7s |\n' command "without (s)" "with (s)" ratio \
    queries "with"
for command in gate compare; do
    without=()
    with=()
    more=()
    [ "$command" = gate ] && more=(--max-new=0)
    for _ in 1 2 3 4 5 6 7; do
        bare=$(measure "$command" --database="$plain" "${series[@]}" "${more[@]}")
        ruled=$(measure "$command" --database="$decided" "${series[@]}" "${more[@]}" \
            --decisions="$work/rules.yaml")
        without+=("$(seconds "$bare")")
        with+=("$(seconds "$ruled")")
    done
    a=$(printf '%s\n' "${without[@]}" | median)
    b=$(printf '%s\n' "${with[@]}" | median)
    printf '| %-8s | %14s | %15s | %5s | %7s | %7s |\n' "$command" "$a" "$b" \
        "$(awk -v a="$a" -v b="$b" 'BEGIN {printf "%.2f", b / a}')" "$(queries "$bare")" \
        "$(queries "$ruled")"
done
