#!/usr/bin/env bash
# The Guideline Compliance Summary of the bundled example, with the example's plan, register,
# enforcement plan and decisions (examples/compliance), in every format against its golden
# file (tests/data/compliance; VENDRIK_UPDATE_GOLDEN=1 writes them); then a project whose
# records, decisions and findings hold HTML, its printable page opened in headless Chromium:
# the hostile texts must show as text and nothing of theirs may run; and the history page
# with each project's verdict.
#   compliance_test.sh CONVERTER HISTORY EXAMPLE_REPORT PLANS GOLDEN
set -uo pipefail
converter=$1
history=$2
example=$3
plans=$4
golden=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

source "$(dirname "$0")/converted_runs.sh"
convert() { convert_at 2026.12.01 "$@"; }
count() { grep -o -- "$1" "$2" | wc -l; }
database=$work/results.db

convert example TargetA EcuNightly 4f1c2e9 "$example"
"$history" load --database="$database" "$work/example.sql" "$work/example.sarif" >/dev/null
# The plans by their names in the folder, as a project's pipeline gives them.
cd "$plans" || exit 2
for format in text markdown json csv html; do
    "$history" compliance --database="$database" --platform=TargetA --project=EcuNightly \
        --recategorization=recategorization.yaml --deviations=deviations.yaml \
        --enforcement=enforcement.yaml --decisions=decisions.yaml --today=2026-12-09 \
        --format=$format --output="$work/gcs.$format" 2>"$work/errors.txt"
    status=$?
    check "$format: status 1, not compliant ($(cat "$work/errors.txt"))" test "$status" -eq 1
    # The converter's version is the build's own.
    sed -i -E 's/Vendrik [0-9]+\.[0-9]+\.[0-9]+\.[0-9]+/Vendrik VERSION/' "$work/gcs.$format"
    if [ "${VENDRIK_UPDATE_GOLDEN:-}" = 1 ]; then
        cp "$work/gcs.$format" "$golden/example.$format"
    fi
    check "$format: as its golden file" diff -u "$golden/example.$format" "$work/gcs.$format"
    reconciled="279 findings in the rows + 20 listed apart = 299, the run's all_errors (299)"
    [ $format = json ] && reconciled='"reconciled": true'
    check "$format: reconciles with the run" grep -q "$reconciled" "$work/gcs.$format"
done
cd "$work" || exit 2
python3 -c 'import json, sys; json.load(open(sys.argv[1]))' "$work/gcs.json"
check "the JSON is well-formed" test $? -eq 0

# A project whose records, decisions and finding texts hold HTML.
hostile="<script>document.title='pwned'</script>"
line='D:\w\Src\Src_NV\Drivers\<img src=x onerror=document.title=1>.c (12) : warning : QAC(Prio9)'
echo "$line Msg: 310(Cast $hostile.) Ref: MISRA C:2012 Rule-11.3" >"$work/hostile.txt"
echo "${line/(12)/(14)} Msg: 5310(HIS $hostile.) Ref: " >>"$work/hostile.txt"
convert hostile TargetA "E\"</svg>]]>" "h<b>1" "$work/hostile.txt"
"$history" load --database="$database" "$work/hostile.sql" "$work/hostile.sarif" >/dev/null
cat >"$work/register.yaml" <<YAML
records:
  - id: "DEV<img src=y onerror=document.title=2>"
    guidelines: ["Rule 11.3"]
    circumstances: "$hostile"
    reason: "r"
    risk: "k"
    approver: "<b>lead</b>"
    date: 2026-11-02
YAML
"$history" triage set --database="$database" --platform=TargetA --project="E\"</svg>]]>" \
    --file='Src/Src_NV/Drivers/<img src=x onerror=document.title=1>.c' --line=12 \
    --state=deviation --record="DEV<img src=y onerror=document.title=2>" \
    --reason="ok $hostile" --deviations="$work/register.yaml" >/dev/null
check "the hostile deviation is recorded" test $? -eq 0
"$history" compliance --database="$database" --platform=TargetA --project="E\"</svg>]]>" \
    --deviations="$work/register.yaml" --format=html --output="$work/hostile.html"
check "the hostile project is compliant (status $?)" test $? -eq 0
chrome --dump-dom "file://$work/hostile.html" >"$work/dom.html"
dom=$work/dom.html
check "the DOM holds the summary" grep -q '<h1>Guideline Compliance Summary</h1>' "$dom"
check "the DOM holds the verdict" grep -q '<p id="verdict" class="compliant">' "$dom"
check "the header repeats over each table" test "$(count '<th class="run"' "$dom")" -eq 1
check "no script of the database ran" grep -q '<title>Guideline Compliance Summary: ' "$dom"
check "no title was set by a script" test "$(count 'pwned</title>\|<title>[12]</title>' "$dom")" -eq 0
check "the page has no script at all" test "$(count '<script' "$dom")" -eq 0
check "no element of the database was made" test "$(count '<img\|<b>' "$dom")" -eq 0
check "the record is shown as text" grep -q 'DEV&lt;img src=y onerror=document.title=2&gt;' "$dom"
check "the finding's text is shown as text" \
    grep -q "HIS &lt;script&gt;document.title='pwned'&lt;/script&gt;" "$dom"
check "the project's name is shown as text" grep -q 'E"&lt;/svg&gt;]]&gt;' "$dom"

"$history" page --database="$database" --output="$work/page.html" --compliance \
    --recategorization="$plans/recategorization.yaml" --deviations="$plans/deviations.yaml" \
    --decisions="$plans/decisions.yaml" --today=2026-12-09
chrome --dump-dom "file://$work/page.html" >"$dom"
check "the page's overview shows each verdict" \
    test "$(count '<td class="verdict">\(not \)\?compliant</td>' "$dom")" -eq 2
check "the page's sections summarize compliance" \
    test "$(count '<div class="compliance"><p class="verdict">' "$dom")" -eq 2

finish "compliance"
