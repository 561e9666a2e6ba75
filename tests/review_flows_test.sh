#!/usr/bin/env bash
# The GitHub Actions and GitLab CI flows of doc/review.md, run as the page writes them, on two
# commits of the example report: the first has no base and passes the gate; the second adds
# three warnings, and the gate fails on exactly those three new findings. The cap is lowered
# to 50, so that it cuts the example's 299 findings.
#   review_flows_test.sh PAGE VENDRIK VENDRIK_HISTORY REPORT
set -euo pipefail
page=$1
bin=$(mktemp -d)
ln -s "$(realpath "$2")" "$bin/vendrik"
ln -s "$(realpath "$3")" "$bin/vendrik-history"
report=$4
work=$(mktemp -d)
trap 'rm -rf "$work" "$bin"' EXIT
export PATH="$bin:$PATH"

# The shell commands of the YAML block after the line "$1" of the page: the lines of each
# "run: |" block (GitHub), or each "- " item of a script, its lines folded into one (GitLab).
commands() {
    python3 - "$page" "$1" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
block = text[text.index(sys.argv[2]):]
block = block[block.index("```yaml\n") + 8:]
block = block[:block.index("```")].splitlines()
out = []
at = 0
while at < len(block):
    line = block[at]
    indent = len(line) - len(line.lstrip())
    if line.strip().endswith("run: |"):
        at += 1
        while at < len(block) and (len(block[at]) - len(block[at].lstrip()) > indent):
            out.append(block[at].strip())
            at += 1
        continue
    if line.strip() == "script:":
        at += 1
        while at < len(block) and block[at].strip().startswith("- "):
            item = [block[at].strip()[2:]]
            dash = len(block[at]) - len(block[at].lstrip())
            at += 1
            while at < len(block) and len(block[at]) - len(block[at].lstrip()) > dash:
                item.append(block[at].strip())
                at += 1
            out.append(" ".join(item))
        continue
    at += 1
script = "\n".join(out)
script = script.replace("${{ github.sha }}", "$GITHUB_SHA")
script = script.replace("${{ github.ref_name }}", "$GITHUB_REF_NAME")
script = script.replace("${{ github.server_url }}", "https://github.example")
script = script.replace("${{ github.repository }}", "o/ecu")
print(script.replace("--review_max_findings=25000", "--review_max_findings=50"))
PY
}

failures=0
check() { # what, then a command that must succeed
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

for flow in "GitHub Actions, with" "GitLab CI:"; do
    script=$(commands "$flow")
    check "$flow: the flow loads the history and gates" grep -q 'vendrik-history gate' <<<"$script"
    folder="$work/${flow%% *}"
    mkdir -p "$folder"
    head -n 290 "$report" >"$folder/qac_report.txt"
    for commit in first second; do
        if [ "$commit" = second ]; then
            sleep 1 # each conversion its own second: the table keeps one run per second and file
            for line in 11 12 13; do
                printf 'D:\\w\\Src\\Src_NV\\App\\new.c (%s) : warning : QAC(Prio5) Msg: 2000(New.) Ref: MISRA C:2012 Rule-15.7\n' \
                    "$line" >>"$folder/qac_report.txt"
            done
        fi
        set +e
        (cd "$folder" && GITHUB_SHA=$commit GITHUB_REF_NAME=main CI_COMMIT_SHA=$commit \
            CI_COMMIT_REF_NAME=main bash -e -c "$script") >"$folder/$commit.out" 2>&1
        status=$?
        set -e
        if [ "$commit" = first ]; then
            check "$flow: the first commit has no base and passes" test "$status" -eq 0
        else
            check "$flow: the second commit fails its gate" test "$status" -eq 1
            check "$flow: on the three new findings" grep -q '^New findings: 3$' "$folder/$commit.out"
        fi
        check "$flow: nothing refused" bash -c "! grep -q refused '$folder/$commit.out'"
    done
    if [ -f "$folder/qac.sarif" ]; then
        check "$flow: the uploaded log is capped" grep -q '"omittedFindings":' "$folder/qac.sarif"
    else
        check "$flow: the Code Quality report is capped" \
            test "$(grep -c check_name "$folder/gl-code-quality.json")" -eq 50
    fi
    [ "$failures" -eq 0 ] || cat "$folder"/*.out
done
echo "$failures failed"
[ "$failures" -eq 0 ]
