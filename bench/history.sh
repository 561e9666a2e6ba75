#!/usr/bin/env bash
# Times vendrik-history on a generated results database of ten years of nightly runs of a
# 4,000-file project (about 15 million rows; kept in bench/data): runs, compare and gate of
# the newest two runs, and page, each with its wall time and peak memory.
#   bench/history.sh [RUNS [FILES]]        (default 3650 runs of 4000 files)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVENDRIK_BUILD_TESTS=OFF \
    -DVENDRIK_BUILD_BENCH=ON >/dev/null
cmake --build build-bench >/dev/null
runs=${1:-3650}
files=${2:-4000}
mkdir -p bench/data
database=bench/data/history-$runs-$files.db
[ -s "$database" ] || build-bench/bench/generate_history "$database" "$runs" "$files"
echo "Database: $database, $((runs * files)) rows, $(du -m "$database" | cut -f1) MiB"
page=$(mktemp --suffix=.html)
trap 'rm -f "$page"' EXIT
history=build-bench/vendrik-history
one=(--platform=TargetA --project=Nightly)
printf '| %-8s | %8s | %14s |\n' command "wall (s)" "peak RSS (MiB)"
for command in runs compare gate page; do
    arguments=("$command" --database="$database")
    case $command in
    compare | gate) arguments+=("${one[@]}") ;;
    page) arguments+=(--output="$page") ;;
    esac
    # the gate's status says pass or fail; the time is what counts here
    out=$(build-bench/bench/measure "$history" "${arguments[@]}" 2>&1 >/dev/null | tail -n 1 || true)
    read -r seconds kib <<<"$out"
    printf '| %-8s | %8s | %14s |\n' "$command" "$seconds" "$((kib / 1024))"
done
