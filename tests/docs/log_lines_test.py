#!/usr/bin/env python3
"""Every line the modules can write to their logs has a row in the
troubleshooting table (docs/troubleshooting.md), written there exactly as the
code formats it, in backticks: a line added to the code without a row, or a
row whose line the code no longer writes, fails here.

usage: log_lines_test.py SOURCE_DIR
"""

import re
import sys
from pathlib import Path

import outcome

LITERALS = r'((?:\s*"(?:[^"\\]|\\.)*")+)'
# The places a log line's text comes from: the log call itself, the summary
# of a throttled report, a text built for either, a socket step's line.
PATTERNS = [
    re.compile(r"\bLOG\(" + LITERALS),
    re.compile(r"\bLOG_REPORT_IF_DUE\([^,]+,[^,]+," + LITERALS),
    re.compile(r"\bsnprintf\((?:what|problem), sizeof (?:what|problem)," + LITERALS),
    re.compile(r"\breturn" + LITERALS + r";"),
]


def joined(literals):
    parts = re.findall(r'"((?:[^"\\]|\\.)*)"', literals)
    return "".join(parts).encode().decode("unicode_escape")


def formats(source_dir):
    found = {}
    for folder in ("common", "master", "slave"):
        for path in sorted((source_dir / folder).rglob("*.cpp")):
            text = path.read_text(encoding="utf-8")
            for number, pattern in enumerate(PATTERNS):
                # Returned texts count only where a socket step's line is chosen.
                if number == 3 and "SocketStepFormat" not in text:
                    continue
                for match in pattern.finditer(text):
                    line = joined(match.group(1))
                    if number == 3 and "%d" not in line:
                        continue
                    if line != "%s":  # a text made above, found by its own pattern
                        found.setdefault(line, f"{path.relative_to(source_dir)}")
    return found


def main():
    source_dir = Path(sys.argv[1]).resolve()
    table = (source_dir / "docs" / "troubleshooting.md").read_text(encoding="utf-8")
    table = re.sub(r"^```.*?^```", "", table, flags=re.S | re.M)  # examples, not rows
    rows = set(re.findall(r"`([^`]+)`", table))
    problems = []
    found = formats(source_dir)
    for line, where in sorted(found.items()):
        if line not in rows:
            problems.append(f"{where}: no row for `{line}`")
    # A row that looks like a log line (it has a placeholder or ends a
    # sentence the code writes) but that no code writes any more.
    for row in sorted(rows):
        if re.search(r"%[-0-9.]*[dsgpxz]", row) and row not in found:
            problems.append(f"troubleshooting.md: `{row}` is written by no code")
    if len(found) < 40:
        problems.append(f"only {len(found)} log lines found: the patterns no longer match the code")
    return outcome.finish(problems, f"{len(found)} log lines, each with its row")


if __name__ == "__main__":
    sys.exit(main())
