#!/usr/bin/env python3
"""Measures which alerts move when a copy of a finding is added or one is removed.

For PAIRS generated reports, a copy of a finding that already has equal findings (same file,
message number and text) is inserted above all of them, below all of them, or one of them is
removed; both reports are converted by vendrik and matched by the SARIF Multitool's
match-results-forward. Prints, per kind of change, how many of the findings that stayed the
Multitool calls new or absent (alerts that move), and how many of them changed their
fingerprint (alerts that move for a tool that matches by fingerprint alone, as GitLab does).

  bench/fingerprint_moves.py MULTITOOL VENDRIK [PAIRS]
"""
import json
import random
import subprocess
import sys
import tempfile

multitool, vendrik = sys.argv[1:3]
pairs = int(sys.argv[3]) if len(sys.argv) > 3 else 20


def line_of(file, line, number):
    return (f"D:\\w\\Src\\Src_NV\\{file} ({line}) : warning : QAC(Prio5) Msg: {number}"
            f"(Same text.) Ref: MISRA C:2012 Rule-15.7\n")


def convert(work, name, findings):
    with open(f"{work}/{name}.txt", "w") as report:
        report.writelines(line_of(*f) for f in findings)
    subprocess.run([vendrik, "--platform=T", f"--input={work}/{name}.txt",
                    f"--output={work}/{name}.sum", "--typ_name=P", "--typ_var=V",
                    f"--sarif_output={work}/{name}.sarif"], check=True, capture_output=True)


def prints(work, name):
    results = json.load(open(f"{work}/{name}.sarif"))["runs"][0]["results"]
    return {(r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"],
             r["locations"][0]["physicalLocation"]["region"]["startLine"]):
            r["partialFingerprints"]["vendrikFinding/v1"] for r in results}


def moved(work):
    subprocess.run([multitool, "match-results-forward", "-r", f"{work}/base.sarif",
                    f"{work}/head.sarif", "-o", f"{work}/m.sarif", "--log", "ForceOverwrite"],
                   check=True, capture_output=True)
    results = json.load(open(f"{work}/m.sarif"))["runs"][0]["results"]
    return sum(1 for r in results if r.get("baselineState") in ("new", "absent"))


totals = {"copy above": [0, 0, 0], "copy below": [0, 0, 0], "one removed": [0, 0, 0]}
with tempfile.TemporaryDirectory() as work:
    for pair in range(pairs):
        rng = random.Random(pair)
        lines = sorted(rng.sample(range(10, 900), 6))
        base = [("a.c", line, 2000) for line in lines] + [("b.c", 5, 2001)]
        convert(work, "base", base)
        for kind in totals:
            if kind == "copy above":
                head = base + [("a.c", lines[0] - 3, 2000)]
                expected = 1  # the copy
            elif kind == "copy below":
                head = base + [("a.c", lines[-1] + 3, 2000)]
                expected = 1
            else:
                head = [f for f in base if f != ("a.c", lines[2], 2000)]
                expected = 1  # the one removed
            convert(work, "head", head)
            totals[kind][0] += moved(work) - expected
            before, after = prints(work, "base"), prints(work, "head")
            stayed = [place for place in before if place in after]
            totals[kind][1] += sum(1 for place in stayed if before[place] != after[place])
            totals[kind][2] += len(stayed)
for kind, (multitool_moves, print_moves, stayed) in totals.items():
    print(f"{kind}: of {stayed} findings that stayed, the Multitool moves {multitool_moves}; "
          f"{print_moves} change their fingerprint")
