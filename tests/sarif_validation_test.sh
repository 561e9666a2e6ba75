#!/usr/bin/env bash
# Validates the program's SARIF logs with Microsoft's SARIF Multitool: the bundled SARIF 2.1.0
# schema and the rules of GitHub's ingestion and of SARIF itself ("Gh;Sarif") must report no
# error, for the example report and for a report of hostile texts. A broken log must fail, so
# that the check itself is known to work. A log over 25,000 findings cut to GitHub's 25,000
# validates; a log with provenance passes the Multitool's publish-to-ghas --dry-run; the
# Markdown viewer @security-alert/sarif-to-markdown (when NODE_MODULES holds it) shows every
# result of the example; the Code Quality reports pass tests/code_quality_check.py.
#   sarif_validation_test.sh MULTITOOL PROGRAM EXAMPLE_REPORT [NODE_MODULES]
set -uo pipefail
multitool=$1
program=$2
example=$3
node_modules=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

# validate NAME LOG EXPECTED: EXPECTED is "clean" or "errors"
validate() {
    local name=$1 log=$2 expected=$3 errors
    rm -f "$work/validation.sarif"
    "$multitool" validate --rule-kind "Gh;Sarif" -o "$work/validation.sarif" "$log" \
        >"$work/validation.txt" 2>&1
    errors=$(grep -c ': error ' "$work/validation.txt")
    if [ ! -s "$work/validation.sarif" ]; then
        echo "FAILED: $name: the Multitool did not run"
        cat "$work/validation.txt"
        failed=$((failed + 1))
    elif { [ "$expected" = clean ] && [ "$errors" -eq 0 ]; } ||
        { [ "$expected" = errors ] && [ "$errors" -gt 0 ]; }; then
        passed=$((passed + 1))
    else
        echo "FAILED: $name: $errors errors"
        grep ': error ' "$work/validation.txt" | head -20
        failed=$((failed + 1))
    fi
}

convert() { # convert REPORT LOG [MORE ARGUMENTS]
    local report=$1 log=$2
    shift 2
    "$program" --platform=Target --input="$report" --output="$work/summary.txt" --typ_name=Demo \
        --typ_var=V --sarif_output="$log" "$@" >/dev/null
}

convert "$example" "$work/example.sarif"
validate "the example report" "$work/example.sarif" clean
convert "$example" "$work/example-hash.sarif" --hash_value=4f1c2e9
validate "the example report with a hash" "$work/example-hash.sarif" clean

# Hostile texts in file names and messages: quotes, backslashes, control characters, bytes
# that are not UTF-8, NUL, and a line of a megabyte.
{
    printf 'D:\\w\\Src\\Src_NV\\q"uote\\back\\slash #%%20 (1).c (1) : warning : QAC(Prio9) Msg: 2000(Say "hi" \\ bye.) Ref: MISRA C:2012 Rule-15.7\n'
    printf 'D:\\w\\Src\\Src_NV\\caf\xe9 \x80\xff.c (2) : error : QAC(Prio5) Msg: 2001(Caf\xe9 \xc3\xa9 \xed\xa0\x80 \xf4\x90\x80\x80.) Ref: MISRA C:2012 Rule-1.1\n'
    printf 'D:\\w\\Src\\Src_NV\\ctl\x01\x1f.c (3) : warning : QAC(Prio0) Msg: 5300(Tab\there \x01\x02\x1b\x7f.) Ref: \n'
    printf 'D:\\w\\Src\\Src_NV\\nul\0name.c (4) : warning : QAC(Prio4) Msg: 2002(Nul \0 inside.) Ref: x\n'
    printf 'D:\\w\\Src\\Src_NV\\line0.c (0) : warning : QAC(Prio7) Msg: 2003(Line 0.) Ref: x\n'
    printf 'D:\\w\\Src\\Src_NV\\long.c (5) : warning : QAC(Prio8) Msg: 2004('
    head -c 1000000 /dev/zero | tr '\0' 'L'
    printf '.) Ref: MISRA C:2012 Dir-4.1\n'
} >"$work/hostile.txt"
convert "$work/hostile.txt" "$work/hostile.sarif" --hash_value='h"a\sh'
results=$(grep -o '"ruleId"' "$work/hostile.sarif" | wc -l)
if [ "$results" -eq 6 ]; then passed=$((passed + 1)); else
    echo "FAILED: the hostile report gives $results results, not 6"
    failed=$((failed + 1))
fi
validate "a report of hostile texts" "$work/hostile.sarif" clean

# check NAME COMMAND...: passes when the command succeeds
check() {
    local name=$1
    shift
    if "$@" >"$work/check.txt" 2>&1; then passed=$((passed + 1)); else
        echo "FAILED: $name"
        head -20 "$work/check.txt"
        failed=$((failed + 1))
    fi
}

# More findings than GitHub takes in one run: the cap keeps 25,000, and the log says so.
awk 'BEGIN { for (i = 1; i <= 30000; i++)
    printf "D:\\w\\Src\\Src_NV\\f%d.c (%d) : warning : QAC(Prio%d) Msg: %d(Text %d.) Ref: MISRA C:2012 Rule-15.7\n", i % 700, i, i % 10, 2000 + i % 40, i % 90 }' \
    >"$work/large.txt"
convert "$work/large.txt" "$work/large.sarif" --review_max_findings=25000 \
    --codequality_output="$work/large.json"
results=$(grep -o '"ruleId"' "$work/large.sarif" | wc -l)
if [ "$results" -eq 25000 ] && grep -q '"omittedFindings":5000' "$work/large.sarif"; then
    passed=$((passed + 1))
else
    echo "FAILED: the capped log has $results results"
    failed=$((failed + 1))
fi
validate "a log cut to 25,000 of 30,000 findings" "$work/large.sarif" clean

# Uploads: a log with the repository, the commit and the branch passes the upload's checks.
convert "$example" "$work/published.sarif" --repository_uri=https://github.com/example/ecu \
    --hash_value=4f1c2e9d4f1c2e9d4f1c2e9d4f1c2e9d4f1c2e9d --branch=main --review_category=ecu
check "publish-to-ghas --dry-run" "$multitool" publish-to-ghas --dry-run "$work/published.sarif"

# GitLab's rules for Code Quality reports, on the example, the hostile report and the cap.
convert "$example" "$work/example-unused.sarif" --codequality_output="$work/example.json"
convert "$work/hostile.txt" "$work/hostile-unused.sarif" --codequality_output="$work/hostile.json"
check "Code Quality rules" python3 "$(dirname "$0")/code_quality_check.py" \
    "$work/example.json" "$work/hostile.json" "$work/large.json"
# ... which must be able to fail: a line 0.
sed '0,/"begin":[0-9]*}/s//"begin":0}/' "$work/example.json" >"$work/broken.json"
if python3 "$(dirname "$0")/code_quality_check.py" "$work/broken.json" >/dev/null; then
    echo "FAILED: the Code Quality check passes a broken report"
    failed=$((failed + 1))
else passed=$((passed + 1)); fi

# A Markdown viewer shows every result: it needs each rule's default level.
if [ -n "$node_modules" ]; then
    read -r shown held < <(node "$(dirname "$0")/sarif_to_markdown_count.js" "$node_modules" \
        "$work/example.sarif")
    if [ "$shown" -eq "$held" ] && [ "$held" -gt 0 ]; then passed=$((passed + 1)); else
        echo "FAILED: sarif-to-markdown shows $shown of $held results"
        failed=$((failed + 1))
    fi
fi

# The check must be able to fail: a log without the tool's name breaks the schema.
sed 's/"name":"QAC",//' "$work/example.sarif" >"$work/broken.sarif"
validate "a log that breaks the schema" "$work/broken.sarif" errors

finish "SARIF validation"
