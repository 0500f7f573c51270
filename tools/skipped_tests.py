#!/usr/bin/python3
"""What a green test run did not check: each test CTest skipped, and each case
skipped inside a test that passed (GoogleTest's GTEST_SKIP, unittest's skip),
with its reason, read from the JUnit files that `ctest --output-junit` wrote.

Usage: tools/skipped_tests.py FILE.xml [FILE.xml ...]   (a missing file is noted, not an error)
"""

import re
import xml.etree.ElementTree as ElementTree
from pathlib import Path

from benchdata import ArgumentParser, ToolError, run_tool

# The reason a skipped test gives, as the project's tools print it
# ("instructions.py: skipped: ...", "SKIPPED: ...").
OWN_REASON = re.compile(r"^(?:SKIPPED: |\S+: skipped: )(.+)$", re.M)
# GoogleTest: "file:line: Skipped", the message, then "[  SKIPPED ] Suite.Case".
GTEST_SKIP = re.compile(r": Skipped\n(.*?)\n?\[  SKIPPED \] (\S+)", re.S)
# unittest at verbosity 2: "test_x (module.Class.test_x) ... skipped 'why'".
UNITTEST_SKIP = re.compile(r"^(\w+) \(.*?\) \.\.\. skipped '(.*)'$", re.M)
UNITTEST_COUNT = re.compile(r"^OK \(.*skipped=(\d+)\)$", re.M)


def skipped(junit: Path):
    """(test, reason) for every skip that one run recorded."""
    try:
        root = ElementTree.parse(junit).getroot()
    except ElementTree.ParseError as e:
        raise ToolError(f"{junit}: not a JUnit file ({e})") from None
    for case in root.iter("testcase"):
        name = case.get("name", "?")
        out = case.findtext("system-out") or ""
        if case.get("status") == "skipped" or case.find("skipped") is not None:
            reasons = OWN_REASON.findall(out) or [why.strip() for why, _ in GTEST_SKIP.findall(out)]
            yield name, reasons[-1] if reasons else (out.strip().splitlines() or ["no reason printed"])[-1]
            continue
        inner = [(f"{name} / {case_name}", why.strip().replace("\n", " ") or "no reason given")
                 for why, case_name in GTEST_SKIP.findall(out)]
        inner += [(f"{name} / {case_name}", why) for case_name, why in UNITTEST_SKIP.findall(out)]
        if not inner:
            inner = [(name, f"{n} case(s) skipped; the reason is in the test's output")
                     for n in UNITTEST_COUNT.findall(out)]
        yield from inner


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("junit", nargs="+", type=Path)
    args = ap.parse_args()
    lines = []
    for junit in args.junit:
        build = junit.parent.name
        if not junit.is_file():
            lines.append(f"  ({build}: no results at {junit})")
            continue
        lines += [f"  {test} [{build}]: {why}" for test, why in skipped(junit)]
    found = sum(not line.startswith("  (") for line in lines)
    print(f"Skipped, not checked here: {found or 'none'}")
    for line in lines:
        print(line)


if __name__ == "__main__":
    run_tool(main)
