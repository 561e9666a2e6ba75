#!/usr/bin/env bash
# Runs the matcher's fuzz target for a fixed time on a copy of the seed corpus.
#   run_fuzz.sh FUZZ_PROGRAM SEED_CORPUS DICTIONARY SECONDS
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$1" -max_total_time="$4" -max_len=3000 -dict="$3" -print_final_stats=1 "$work" "$2" 2>"$work.log" ||
    { tail -n 60 "$work.log"; rm -f "$work.log"; exit 1; }
grep -E '^(Done|stat::number_of_executed_units)' "$work.log" || true
rm -f "$work.log"
