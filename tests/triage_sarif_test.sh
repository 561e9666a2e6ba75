#!/usr/bin/env bash
# Validates vendrik-history's SARIF comparison with decisions in it by Microsoft's SARIF
# Multitool (SARIF 2.1.0 schema, GitHub's and SARIF's rules): two runs of the example, one new
# finding accepted and one a false positive, so that the log carries suppressions; and the
# log with them omitted.
#   triage_sarif_test.sh MULTITOOL CONVERTER HISTORY EXAMPLE_REPORT
set -uo pipefail
multitool=$1
converter=$2
history=$3
example=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

for run in 1 2; do
    head -n $((run * 100)) "$example" >"$work/report.txt"
    "$converter" --platform=TargetA --input="$work/report.txt" --output="$work/$run.sql" \
        --typ_name=Ecu --typ_var=V --sql_config=SQL --hash_value="run$run" \
        --sarif_output="$work/$run.sarif" >/dev/null
    sed -i "s/\"[0-9]\{4\}\.[0-9][0-9]\.[0-9][0-9]\", \"[0-9:]\{8\}\"/\"2026.12.0$run\", \"02:00:00\"/" \
        "$work/$run.sql"
    sed -i "s/\"date\":\"[^\"]*\",\"time\":\"[^\"]*\"/\"date\":\"2026.12.0$run\",\"time\":\"02:00:00\"/" \
        "$work/$run.sarif"
done
db=$work/results.db
"$history" load --database="$db" "$work"/1.sql "$work"/1.sarif "$work"/2.sql "$work"/2.sarif \
    >/dev/null
series=(--database="$db" --platform=TargetA --project=Ecu)
"$history" compare "${series[@]}" --format=json >"$work/compare.json"
prints=$(python3 -c 'import json,sys; print(" ".join(f["fingerprint"] for f in json.load(open(sys.argv[1]))["new"][:2]))' "$work/compare.json")
read -r first second <<<"$prints"
check "two new findings to decide on" test -n "$second"
"$history" triage set "${series[@]}" --fingerprint="$first" --state=accepted \
    --reason='kept: "checked" by the watchdog' >/dev/null
"$history" triage set "${series[@]}" --fingerprint="$second" --state=false-positive \
    --reason='sized by the caller' >/dev/null

for mode in keep omit; do
    "$history" compare "${series[@]}" --format=sarif --suppressed=$mode >"$work/$mode.sarif"
    "$multitool" validate --rule-kind "Gh;Sarif" -o "$work/$mode-validation.sarif" \
        "$work/$mode.sarif" >"$work/$mode-validation.txt" 2>&1
    check "the Multitool ran on the log ($mode)" test -s "$work/$mode-validation.sarif"
    check "the log validates ($mode)" test "$(grep -c ': error ' "$work/$mode-validation.txt")" -eq 0
done
check "the log carries two suppressions" \
    test "$(grep -o '"suppressions"' "$work/keep.sarif" | wc -l)" -eq 2
check "omitted, none" test "$(grep -c '"suppressions"' "$work/omit.sarif")" -eq 0
finish "triage SARIF"
