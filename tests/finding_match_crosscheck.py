#!/usr/bin/env python3
"""Cross-checks vendrik-history's matching of findings against Microsoft's SARIF Multitool.

For PAIRS generated pairs of nightly reports (findings removed and added, lines shifted,
copies inserted above and below existing findings), both runs are converted by vendrik and
loaded into one database; `vendrik-history compare --format=sarif` and the Multitool's
`match-results-forward` on the two converter logs must name the same new and the same absent
findings wherever a file has at most one finding of a message number in each run. Where it
has several, the tools differ by design: vendrik-history pairs equal findings (file, number
and text) by nearest line; the Multitool pairs by the fingerprints' occurrence numbers,
which count in line order, and by location, even across different texts of one rule. Those
findings are counted, not failed. Also validates the compare log with the Multitool.

  finding_match_crosscheck.py MULTITOOL VENDRIK VENDRIK_HISTORY [PAIRS]
"""
import json
import os
import random
import re
import subprocess
import sys
import tempfile

multitool, vendrik, history = sys.argv[1:4]
pairs = int(sys.argv[4]) if len(sys.argv) > 4 else 100
texts = [(2000, "No else clause"), (2880, "This code is unreachable"),
         (2982, "This assignment is redundant"), (5310, "HIS metric STCYC exceeds 20")] + [
    (3200, f"Function {name} return value is not used")
    for name in ["open", "read", "write", "close", "seek", "flush", "sync", "stat"]]


def report_line(finding):
    file, line, priority, (number, text) = finding
    return (f"D:\\w\\Src\\Src_NV\\{file} ({line}) : warning : QAC(Prio{priority}) "
            f"Msg: {number}({text}.) Ref: MISRA C:2012 Rule-15.7\n")


def night_after(findings, rng):
    """The next night: some findings fixed, some added, lines moved, copies inserted."""
    kept = [f for f in findings if rng.random() > 0.1]
    for file in sorted({f[0] for f in kept}):
        if rng.random() < 0.5:  # lines inserted at `at` move everything below
            at, count = rng.randint(1, 200), rng.randint(1, 9)
            kept = [(f[0], f[1] + count if f[0] == file and f[1] >= at else f[1], f[2], f[3])
                    for f in kept]
    for _ in range(rng.randint(1, 6)):
        if kept and rng.random() < 0.5:  # a copy just above or below an existing finding
            original = rng.choice(kept)
            kept.append((original[0], max(1, original[1] + rng.choice([-1, 1])), original[2],
                         original[3]))
        else:
            kept.append((f"f{rng.randint(0, 4)}.c", rng.randint(1, 220), rng.randint(0, 9),
                         rng.choice(texts)))
    return kept


def convert(work, name, project, findings, date):
    with open(f"{work}/{name}.txt", "w") as report:
        report.writelines(report_line(f) for f in findings)
    subprocess.run([vendrik, "--platform=T", f"--input={work}/{name}.txt",
                    f"--output={work}/{name}.summary", f"--typ_name={project}", "--typ_var=V",
                    f"--hash_value={name}{project}", f"--sarif_output={work}/{name}.sarif"],
                   check=True, capture_output=True)
    with open(f"{work}/{name}.sarif") as log:
        text = re.sub(r'"date":"[^"]*"', f'"date":"{date}"', log.read())
    with open(f"{work}/{name}.sarif", "w") as log:
        log.write(text)



def key(result):
    location = result["locations"][0]["physicalLocation"]
    return (location["artifactLocation"]["uri"], location.get("region", {}).get("startLine", 0),
            result["ruleId"], result["message"]["text"])


def states(log, wanted):
    return {key(r) for r in log["runs"][0]["results"] if r.get("baselineState") == wanted}


def shared_rules(*findings_lists):
    """The (file, message number) pairs with several findings in either run."""
    shared = set()
    for findings in findings_lists:
        seen = set()
        for file, _, _, (number, _) in findings:
            rule = (f"Src/Src_NV/{file}", str(number))
            shared.add(rule) if rule in seen else seen.add(rule)
    return shared


def main():
    failed = compared = agreed = by_design = 0
    with tempfile.TemporaryDirectory() as work:
        database = f"{work}/results.db"
        for pair in range(pairs):
            rng = random.Random(pair)
            base = [(f"f{rng.randint(0, 4)}.c", rng.randint(1, 200), rng.randint(0, 9),
                     rng.choice(texts)) for _ in range(rng.randint(0, 40))]
            head = night_after(base, rng)
            project = f"P{pair}"
            convert(work, "base", project, base, "2026.12.01")
            convert(work, "head", project, head, "2026.12.02")
            subprocess.run([history, "load", f"--database={database}", f"{work}/base.sarif",
                            f"{work}/head.sarif"], check=True, capture_output=True)
            ours = json.loads(subprocess.run(
                [history, "compare", f"--database={database}", "--platform=T",
                 f"--project={project}", "--format=sarif"], check=True, capture_output=True,
                text=True).stdout)
            subprocess.run([multitool, "match-results-forward", "-r", f"{work}/base.sarif",
                            f"{work}/head.sarif", "-o", f"{work}/matched.sarif", "--log",
                            "ForceOverwrite"], check=True, capture_output=True)
            with open(f"{work}/matched.sarif") as matched:
                theirs = json.load(matched)
            shared = shared_rules(base, head)
            for state in ("new", "absent"):
                compared += len(states(ours, state) | states(theirs, state))
                differ = states(ours, state) ^ states(theirs, state)
                among_shared = {k for k in differ if (k[0], k[2]) in shared}
                by_design += len(among_shared)
                agreed += len(states(ours, state) & states(theirs, state))
                if differ - among_shared:
                    failed += 1
                    print(f"FAILED: pair {pair}: {state}: only vendrik-history: "
                          f"{sorted(states(ours, state) - states(theirs, state))}; only the "
                          f"Multitool: {sorted(states(theirs, state) - states(ours, state))}")
            if pair == 0:
                with open(f"{work}/compare.sarif", "w") as log:
                    json.dump(ours, log)
                validation = subprocess.run(
                    [multitool, "validate", "--rule-kind", "Gh;Sarif", "-o",
                     f"{work}/validation.sarif", f"{work}/compare.sarif"], capture_output=True,
                    text=True)
                errors = [l for l in validation.stdout.splitlines() if ": error " in l]
                if errors or not os.path.exists(f"{work}/validation.sarif"):
                    failed += 1
                    print("FAILED: the compare log does not validate:", *errors[:10], sep="\n")
    print(f"{pairs} pairs of runs: {compared} new or absent findings named by either tool, "
          f"{agreed} by both; {failed} pairs disagree; {by_design} findings named by one tool "
          f"only where a file has several findings of their message number")
    return 1 if failed else 0


sys.exit(main())
