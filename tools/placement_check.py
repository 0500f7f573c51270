#!/usr/bin/python3
"""Does code placement alone decide a verdict? Runs tools/ab.py --layouts=K
on pairs whose two sides are copies of one source that differ only in where
their code lies (the heapsort example, the registry's comb sort built as a
library), case by case, --trials times each; then the heapsort example
against the same source made 3% slower (tests/contenders/slow_heapsort.c),
which ab.py must still find. Prints each trial's ratio, interval, layout
noise and verdict, and how often two placements of one source came out a
tie and how often the real slowdown came out "B slower".

Usage: tools/placement_check.py [--layouts K] [--trials N] [--slow_trials N] [--busy K]
                                [--cases REGEX] [--build DIR] [--json OUT]
"""

import json
import re
import subprocess
import sys
from pathlib import Path

from benchdata import REPO, ArgumentParser, ToolError, build_dir, busy_loops, compiled, run_tool

LIBRARIES = {"heapsort": "libheapsort.so", "comb_sort": "libcomb_sort.so", "slow_heapsort": "libslow_heapsort.so"}
SAME = [("heapsort", f"{p}/{n}") for p in ("random", "few_distinct") for n in (10000, 100000, 1000000)]
SAME += [("comb_sort", f"random/{n}") for n in (10000, 100000, 1000000)]
SAME += [("comb_sort", f"ascending/{n}") for n in (128, 1024, 100000)]
SLOWER = ("heapsort", "slow_heapsort", "random/100000")
ROW = re.compile(r"^\| (?P<case>\S+) \|.*\| (?P<ratio>[\d.]+) \| (?P<low>[\d.]+)\.\.(?P<high>[\d.inf]+) \|"
                 r".*\| (?P<noise>[\d.]+)% \| (?P<verdict>[^|]+) \|")


def trial(build, a, b, case, layouts):
    """One invocation of ab.py: A and B at placements of their own."""
    paths = {name: build / LIBRARIES[name] for name in (a, b)}
    command = [sys.executable, str(REPO / "tools" / "ab.py"), "a", "b", f"--contender=a={paths[a]}",
               f"--contender=b={paths[b]}", f"--filter=^{case}$", f"--layouts={layouts}", "--full_grid",
               f"--build={build}"]
    r = subprocess.run(command, capture_output=True, text=True)
    if r.returncode != 0:
        raise ToolError(f"ab.py failed: {r.stderr.strip().splitlines()[-1] if r.stderr.strip() else r.returncode}")
    rows = [m for line in r.stdout.splitlines() if (m := ROW.match(line))]
    if len(rows) != 1:
        raise ToolError(f"ab.py printed {len(rows)} rows for {case}")
    m = rows[0]
    return {"a": a, "b": b, "case": case, "ratio": float(m["ratio"]), "interval": [float(m["low"]), float(m["high"])],
            "layout_noise": float(m["noise"]) / 100, "verdict": m["verdict"].strip()}


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("--layouts", type=int, default=3)
    ap.add_argument("--trials", type=int, default=2, help="trials of each case of one source (default 2)")
    ap.add_argument("--slow_trials", type=int, default=10, help="trials of the 3%% slowdown (default 10)")
    ap.add_argument("--busy", type=int, default=0)
    ap.add_argument("--cases", default=".", help="a regular expression on SOURCE,CASE")
    ap.add_argument("--build")
    ap.add_argument("--json", type=Path)
    args = ap.parse_args()
    build = build_dir(args.build)
    wanted = compiled(args.cases, "--cases")
    same = [c for c in SAME if wanted.search(",".join(c))]
    rows = []
    with busy_loops(args.busy):
        print(f"ab.py --layouts={args.layouts}, {args.busy} busy loops beside")
        print("| A | B | case | B/A | 95% interval | layout noise | verdict |")
        print("|---|---|---|---:|---|---:|---|")
        plan = [(s, s, case) for s, case in same for _ in range(args.trials)] + [SLOWER] * args.slow_trials
        for a, b, case in plan:
            row = trial(build, a, b, case, args.layouts)
            rows.append(row)
            low, high = row["interval"]
            print(f"| {a} | {b} | {case} | {row['ratio']:.4f} | {low:.4f}..{high:.4f} | {row['layout_noise']:.2%} | "
                  f"{row['verdict']} |", flush=True)
    ties = [r for r in rows if r["a"] == r["b"]]
    slow = [r for r in rows if r["a"] != r["b"]]
    print(f"two placements of one source: {sum(r['verdict'].startswith('tie') for r in ties)} of {len(ties)} a tie")
    print(f"the 3% slowdown: {sum(r['verdict'] == 'B slower' for r in slow)} of {len(slow)} found \"B slower\"")
    if args.json:
        args.json.write_text(json.dumps(rows, indent=1))


if __name__ == "__main__":
    run_tool(main)
