#!/usr/bin/env python3
"""Checks GitLab Code Quality reports against the rules GitLab's schema and widget hold them to.

Each FILE must be: UTF-8 without a byte-order mark; one JSON array; every issue an object with
a non-empty string description and check_name, a fingerprint unique in the file, a severity of
info, minor, major, critical or blocker, categories (when present) from GitLab's list, and a
location whose path is relative (no leading "/", no drive, no ".." part, no backslash) and whose
lines.begin is an integer of at least 1. Prints each fault and exits 1 when there is one.

  code_quality_check.py FILE...
"""
import json
import sys

SEVERITIES = {"info", "minor", "major", "critical", "blocker"}
CATEGORIES = {"Bug Risk", "Clarity", "Compatibility", "Complexity", "Duplication",
              "Performance", "Security", "Style"}


def faults_of(path):
    raw = open(path, "rb").read()
    if raw.startswith(b"\xef\xbb\xbf"):
        yield "starts with a byte-order mark"
    try:
        issues = json.loads(raw.decode("utf-8"))
    except (UnicodeDecodeError, ValueError) as error:
        yield f"is not UTF-8 JSON: {error}"
        return
    if not isinstance(issues, list):
        yield "is not one JSON array"
        return
    seen = set()
    for number, issue in enumerate(issues, 1):
        where = f"issue {number}"
        if not isinstance(issue, dict):
            yield f"{where} is not an object"
            continue
        for key in ("description", "check_name", "fingerprint"):
            if not isinstance(issue.get(key), str) or not issue[key]:
                yield f"{where} has no {key}"
        if issue.get("fingerprint") in seen:
            yield f"{where} repeats the fingerprint {issue['fingerprint']}"
        seen.add(issue.get("fingerprint"))
        if issue.get("severity") not in SEVERITIES:
            yield f"{where} has the severity {issue.get('severity')!r}"
        if not set(issue.get("categories", [])) <= CATEGORIES:
            yield f"{where} has the categories {issue['categories']!r}"
        location = issue.get("location", {})
        path_ = location.get("path")
        if (not isinstance(path_, str) or not path_ or path_.startswith("/") or "\\" in path_
                or ":" in path_[:3] or ".." in path_.split("/")):
            yield f"{where} has the path {path_!r}"
        begin = location.get("lines", {}).get("begin")
        if not isinstance(begin, int) or isinstance(begin, bool) or begin < 1:
            yield f"{where} has lines.begin {begin!r}"


failed = False
for path in sys.argv[1:]:
    for fault in faults_of(path):
        print(f"{path}: {fault}")
        failed = True
sys.exit(1 if failed else 0)
