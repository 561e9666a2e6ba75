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
one=(--platform=TargetA --project=Nightly)
printf '| %-8s | %8s | %14s | %7s |\n' command "wall (s)" "peak RSS (MiB)" queries
for command in load runs compare gate page; do
    arguments=("$command" --database="$target")
    case $command in
    load) arguments+=("$work/next.sql" "$work/next.sarif") ;;
    compare) arguments+=("${one[@]}") ;;
    gate) arguments+=("${one[@]}" --max-new=0) ;;
    page) arguments+=(--output="$work/page.html") ;;
    esac
    times=()
    for _ in $([ "$command" = load ] && echo 1 || echo 1 2 3 4 5); do
        out=$(build-bench/bench/measure build-bench/bench/count_queries "${arguments[@]}" 2>&1 \
            >/dev/null || true)
        read -r seconds kib <<<"$(tail -n 1 <<<"$out")"
        queries=$(sed -n 's/^queries: //p' <<<"$out")
        times+=("$seconds")
    done
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((${#times[@]} + 1) / 2))p")
    printf '| %-8s | %8s | %14s | %7s |\n' "$command" "$median" "$((kib / 1024))" "$queries"
done
echo "Page: $(du -k "$work/page.html" | cut -f1) KiB"
