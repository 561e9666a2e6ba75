#!/usr/bin/env bash
# Times vendrik-history on a PostgreSQL server, on the database of bench/history.sh (generated
# first when missing): a throwaway PostgreSQL 15 server over a Unix socket, durable (fsync
# on), the SQLite database copied into it as load leaves it; then load of the night after,
# runs, compare, gate --max-new=0 and page, each with its wall time (the median of five runs
# but for load), peak memory and number of queries.
#   bench/history_postgres.sh [RUNS [FILES [FINDINGS]]]   (default 3650 runs, 4000 files, 75000)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3650}
files=${2:-4000}
findings=${3:-75000}
database=bench/data/history-$runs-$files-$findings.db
next=bench/data/history-$runs-$files-$findings-next.txt
[ -s "$database" ] || bash bench/history.sh "$runs" "$files" "$findings" >/dev/null
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVENDRIK_BUILD_TESTS=OFF \
    -DVENDRIK_BUILD_BENCH=ON >/dev/null
cmake --build build-bench >/dev/null
work=$(mktemp -d)
chmod 755 "$work"
trap 'bash tests/postgres_server.sh stop "$work/server"; rm -rf "$work"' EXIT
bash tests/postgres_server.sh start "$work/server" durable
psql "$(cat "$work/server/url")" -qc "create database bench"
target=$(sed 's|/postgres?|/bench?|' "$work/server/url")
build-bench/bench/copy_to_postgres "$database" "$target"
build-bench/vendrik --platform=TargetA --input="$next" --output="$work/next.sql" \
    --typ_name=Nightly --typ_var=V --sql_config=SQL --hash_value=next \
    --sarif_output="$work/next.sarif" >/dev/null
echo "Database: $database on PostgreSQL $(psql "$target" -Atc 'show server_version'), " \
    "$(psql "$target" -Atc "select pg_size_pretty(pg_database_size('bench'))")"
source bench/time_history.sh
time_history "$target" "$work"
echo "Page: $(du -k "$work/page.html" | cut -f1) KiB"
