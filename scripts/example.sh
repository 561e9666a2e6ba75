#!/usr/bin/env bash
# Builds Vendrik and runs it on the bundled example report: the text summary, the SARIF and
# Code Quality exports, the SQL script, and the script loaded into a fresh SQLite database
# that is then queried; then three more runs loaded by vendrik-history, which lists them,
# gates the newest and writes the history page.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-dependencies.sh
bash scripts/build.sh
mkdir -p out
rm -f out/results.db

echo "== Summary (out/summary.txt)"
build/vendrik --platform=TargetA --input=examples/qac_report.txt --output=out/summary.txt \
    --typ_name=EcuNightly --typ_var=Variant1

echo "== Summary with the review exports (out/results.sarif, out/gl-code-quality.json)"
build/vendrik --platform=TargetA --input=examples/qac_report.txt --output=out/summary.txt \
    --typ_name=EcuNightly --typ_var=Variant1 --hash_value=4f1c2e9 \
    --sarif_output=out/results.sarif --codequality_output=out/gl-code-quality.json >/dev/null
echo "$(grep -o '"ruleId"' out/results.sarif | wc -l) SARIF results," \
    "$(grep -c '"check_name"' out/gl-code-quality.json) Code Quality issues"

echo "== SQL script (out/results.sql)"
build/vendrik --platform=TargetA --input=examples/qac_report.txt --output=out/results.sql \
    --typ_name=EcuNightly --typ_var=Variant1 --sql_config=SQL --hash_value=4f1c2e9

echo "== Loaded into out/results.db"
sqlite3 out/results.db < out/results.sql
sqlite3 -header -column out/results.db \
    "select filename, all_errors, misra_3, his, date, time from testresults order by rowid;"

echo "== Three more runs loaded by vendrik-history, and the history page (out/history.html)"
for lines in 150 300 450; do
    sleep 1 # each run its own second: the table keeps one run per second and file
    head -n "$lines" examples/qac_report.txt >out/partial.txt
    build/vendrik --platform=TargetA --input=out/partial.txt --output="out/run$lines.sql" \
        --typ_name=EcuNightly --typ_var=Variant1 --sql_config=SQL --hash_value="run$lines" \
        --sarif_output="out/run$lines.sarif" >/dev/null
done
build/vendrik-history load --database=out/results.db out/run150.sql out/run300.sql out/run450.sql \
    out/run150.sarif out/run300.sarif out/run450.sarif
build/vendrik-history runs --database=out/results.db
build/vendrik-history gate --database=out/results.db --platform=TargetA --project=EcuNightly \
    --max-new=0 --format=markdown >out/gate.md ||
    echo "(the gate fails: the newest run has new findings; out/gate.md lists them)"
head -n 12 out/gate.md
build/vendrik-history compare --database=out/results.db --platform=TargetA --project=EcuNightly \
    --format=sarif >out/new-findings.sarif
echo "out/new-findings.sarif: $(grep -o '"baselineState":"new"' out/new-findings.sarif | wc -l)" \
    "new findings for code review"
build/vendrik-history page --database=out/results.db --output=out/history.html

echo "== MISRA compliance of the newest run (out/compliance.txt, out/compliance.html)"
compliance() {
    (cd examples/compliance && ../../build/vendrik-history compliance \
        --database=../../out/results.db --platform=TargetA --project=EcuNightly \
        --recategorization=recategorization.yaml --deviations=deviations.yaml \
        --enforcement=enforcement.yaml --decisions=decisions.yaml "$@")
}
status=0
compliance --output=../../out/compliance.txt || status=$?
compliance --format=html --output=../../out/compliance.html || true
[ "$status" -le 1 ] || exit "$status"
sed -n '/^Standards:/p; /^Verdict:/,/^Reconciliation:/p' out/compliance.txt
echo "(status $status: 0 compliant, 1 not compliant; the plans are in examples/compliance)"
