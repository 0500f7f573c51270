#!/usr/bin/python3
"""Counts, under callgrind, the instructions each routine of the registry
executes on fixed inputs (ascending and random; 1,024 and 100,000 elements)
and compares them with the committed baseline: a count that moved by more
than 2% fails. Instruction counts do not depend on the machine's load, so
this catches a change to a routine's generated code that timing here cannot.

Usage: tools/instructions.py [--build DIR] [--update]
--update rewrites the baseline (tests/instructions_baseline.json) after an
intended change; commit it with that change.
"""

import json
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

from benchdata import (REPO, ArgumentParser, ToolError, build_dir, executable, routines, run_tool,
                       valgrind_failed)

BASELINE = REPO / "tests" / "instructions_baseline.json"
CASES = [("ascending", 1024), ("ascending", 100000), ("random", 1024), ("random", 100000)]
TOLERANCE = 0.02


def count(probe: Path, routine: str, pattern: str, size: int) -> int:
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "callgrind.out"
        run = subprocess.run(
            ["valgrind", "--tool=callgrind", "--collect-atstart=no", f"--callgrind-out-file={out}",
             str(probe), routine, pattern, str(size)],
            capture_output=True, text=True)
        if run.returncode != 0:
            valgrind_failed(f"{routine} {pattern}/{size}", run)
        for line in out.read_text().splitlines():
            if line.startswith("totals:") or line.startswith("summary:"):
                return int(line.split()[1])
    raise ToolError(f"{routine} {pattern}/{size}: no total in callgrind's output")


def compare(baseline: dict, counts: dict, tolerance: float = TOLERANCE):
    """Lines of a table of each case's baseline and count, and how many cases
    moved by more than `tolerance`, appeared or went missing."""
    lines = [f"{'case':<32} {'baseline':>13} {'now':>13} {'change':>8}"]
    moved = 0
    for case, now in counts.items():
        was = baseline.get(case)
        if was is None:
            lines.append(f"{case:<32} {'-':>13} {now:>13,} {'new':>8}")
            moved += 1
            continue
        change = (now - was) / was
        flag = "  MOVED" if abs(change) > tolerance else ""
        moved += bool(flag)
        lines.append(f"{case:<32} {was:>13,} {now:>13,} {change:>+8.2%}{flag}")
    for case in baseline.keys() - counts.keys():
        lines.append(f"{case:<32} {baseline[case]:>13,} {'gone':>13}")
        moved += 1
    lines.append(f"{len(counts) - moved} passed, {moved} failed")
    return lines, moved


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("--build", help="build directory (default: the repository's build/release)")
    ap.add_argument("--update", action="store_true", help="rewrite the baseline with today's counts")
    args = ap.parse_args()
    if shutil.which("valgrind") is None:
        raise ToolError("valgrind is missing; install it with tools/install-deps.sh")
    build = build_dir(args.build)
    probe = executable(build, "instruction_probe")

    counts = {}
    for r in routines(build):
        for pattern, size in CASES:
            counts[f"{r['id']}/{pattern}/{size}"] = count(probe, r["id"], pattern, size)

    if args.update:
        BASELINE.write_text(json.dumps(counts, indent=2) + "\n")
        print(f"wrote {len(counts)} counts to {BASELINE}")
        return
    try:
        baseline = json.loads(BASELINE.read_text())
    except FileNotFoundError:
        raise ToolError(f"{BASELINE} is missing: make one with tools/instructions.py --update") from None
    except json.JSONDecodeError as e:
        raise ToolError(f"{BASELINE}: not JSON ({e}); remake it with tools/instructions.py --update") from None
    lines, moved = compare(baseline, counts)
    print("\n".join(lines))
    if moved:
        print("If the change is intended, refresh the baseline: tools/instructions.py --update", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    run_tool(main)
