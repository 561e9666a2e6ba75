#!/usr/bin/env bash
# Times vendrik-history on a generated results database of ten years of nightly runs of a
# 4,000-file project with 75,000 findings, about 1 % fixed and 1 % added each night (kept in
# bench/data): load of the night after (its SQL script and SARIF log, converted by vendrik),
# then runs, compare and gate --max-new=0 of the newest two runs, and page, each with its
# wall time (the median of five runs but for load), peak memory and number of queries; and
# what the findings' history stores.
#   bench/history.sh [RUNS [FILES [FINDINGS]]]     (default 3650 runs, 4000 files, 75000)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVENDRIK_BUILD_TESTS=OFF \
    -DVENDRIK_BUILD_BENCH=ON >/dev/null
cmake --build build-bench >/dev/null
runs=${1:-3650}
files=${2:-4000}
findings=${3:-75000}
mkdir -p bench/data
database=bench/data/history-$runs-$files-$findings.db
next=bench/data/history-$runs-$files-$findings-next.txt
[ -s "$database" ] && [ -s "$next" ] ||
    build-bench/bench/generate_history "$database" "$next" "$runs" "$files" "$findings"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build-bench/vendrik --platform=TargetA --input="$next" --output="$work/next.sql" \
    --typ_name=Nightly --typ_var=V --sql_config=SQL --hash_value=next \
    --sarif_output="$work/next.sarif" >/dev/null
cp "$database" "$work/results.db" # load changes it; the generated one is kept
sync "$work/results.db"            # written out: a load must not wait for the copy
query() { sqlite3 "$work/results.db" "$1"; }
echo "Database: $database, $(query 'select count(*) from testresults') rows of testresults," \
    "$(du -m "$database" | cut -f1) MiB"
source bench/time_history.sh
time_history "$work/results.db" "$work"
spans=$(query 'select count(*) from vendrik_history_findings')
bytes=$(query "select sum(pgsize) from dbstat where name like 'vendrik_history_findings%'")
logged=$(query 'select count(*), sum(findings) from vendrik_history_run_facts' | tr '|' ' ')
read -r nights present <<<"$logged"
echo "Findings' history: $spans stored spans (one per finding and stretch of runs it is" \
    "present in, unchanged) for $present findings over $nights runs:" \
    "$((present / spans)) run findings per stored row;" \
    "$((bytes / spans)) bytes per stored change (table and its indexes, $((bytes >> 20)) MiB)"
echo "Page: $(du -k "$work/page.html" | cut -f1) KiB"
