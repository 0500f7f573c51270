#!/usr/bin/python3
"""Do the printed 95% intervals hold in the next process? For each case, runs
a program's default --runs times (10), each time as a new invocation, and
takes as the case's reference the figure pooled over every process of those
runs (processes_ratio over all of them). Coverage is the share of the printed
intervals that contain the reference, per case and summed over the cases.
With --busy K, K busy loops run beside every run, as a loaded machine.

Programs:
  ab      tools/ab.py A B --filter=^CASE$ [--processes K]: the interval it prints
  rounds  sortbench-rounds --group=A,B --filter=^CASE$ [--processes K]: the interval its file holds

Cases are A,B,CASE: two contenders and a case of the rounds (pattern/size[/type]).
The default list pairs std_sort with pdqsort, with std_stable_sort and with
spinsort (3% to 8% apart on random input on a Zen 5 VM), and shell_sort with comb_sort, on
random and few_distinct input at 10^4, 10^5 and 10^6, as int32 and kv16
where the pair takes it.

Usage: tools/coverage_check.py [--program ab|rounds] [--processes K] [--runs N] [--busy K]
                               [--cases REGEX] [--build DIR] [--json OUT]
"""

import json
import os
import re
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

from benchdata import (REPO, ArgumentParser, ToolError, build_dir, compiled, executable, load_rounds, median,
                       processes_ratio, run_tool)

PAIRS = [("std_sort", "pdqsort"), ("std_sort", "std_stable_sort"), ("std_sort", "spinsort"), ("shell_sort", "comb_sort")]
CASES = [(a, b, f"{p}/{n}{t}") for a, b in PAIRS for p in ("random", "few_distinct")
         for n in (10000, 100000, 1000000) for t in ("", "/kv16") if not (t and a == "shell_sort")]
ROW = re.compile(r"^\| (?P<case>\S+) \|.*\| (?P<low>[\d.]+)\.\.(?P<high>[\d.inf]+) \|")


def run(command):
    r = subprocess.run([str(c) for c in command], capture_output=True, text=True)
    if r.returncode != 0:
        raise ToolError(f"{Path(str(command[0])).name} failed: "
                        f"{r.stderr.strip().splitlines()[-1] if r.stderr.strip() else r.returncode}")
    return r.stdout


def processes_flag(processes):
    return [f"--processes={processes}"] if processes else []


def ab_run(build, a, b, case, processes, tmp):
    """(interval printed, [(A, B) per process]) of one invocation of ab.py."""
    save = Path(tmp) / "ab.json"
    out = run([sys.executable, REPO / "tools" / "ab.py", a, b, f"--filter=^{case}$", "--full_grid",
               f"--save={save}", f"--build={build}", *processes_flag(processes)])
    rows = [m for line in out.splitlines() if (m := ROW.match(line))]
    if len(rows) != 1:
        raise ToolError(f"ab.py printed {len(rows)} rows for {case}")
    return (float(rows[0]["low"]), float(rows[0]["high"])), load_rounds(save)[1][0].pairs(1)


def rounds_run(build, a, b, case, processes, tmp):
    """The same of one invocation of sortbench-rounds: the interval its file holds."""
    out = Path(tmp) / "rounds.json"
    run([executable(build, "sortbench-rounds"), f"--group={a},{b}", f"--filter=^{case}$", "--full_grid",
         f"--out={out}", *processes_flag(processes)])
    c = load_rounds(out)[1][0]
    return c.ratio(1).interval, c.pairs(1)


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("--program", choices=["ab", "rounds"], default="ab")
    ap.add_argument("--processes", type=int, default=None, help="the program's --processes (default: its own)")
    ap.add_argument("--runs", type=int, default=10)
    ap.add_argument("--busy", type=int, default=0)
    ap.add_argument("--cases", default=".", help="a regular expression on A,B,CASE")
    ap.add_argument("--build")
    ap.add_argument("--json", type=Path)
    args = ap.parse_args()
    build = build_dir(args.build)
    wanted = compiled(args.cases, "--cases")
    cases = [c for c in CASES if wanted.search(",".join(c))]
    if not cases or args.runs < 2:
        raise ToolError("no case matches --cases, or --runs is below 2")
    take = ab_run if args.program == "ab" else rounds_run
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    busy = [subprocess.Popen(["/bin/sh", "-c", "while :; do :; done"], start_new_session=True)
            for _ in range(args.busy)]
    rows = []
    try:
        print(f"{args.program}, {args.processes or 'the default'} process(es) a run, {args.runs} runs a case, "
              f"{args.busy} busy loops beside")
        print("| pair | case | reference | covered | median half-width |")
        print("|---|---|---:|---:|---:|")
        for a, b, case in cases:
            intervals, pairs = [], []
            with tempfile.TemporaryDirectory() as tmp:
                for _ in range(args.runs):
                    interval, taken = take(build, a, b, case, args.processes, tmp)
                    intervals.append(interval)
                    pairs += taken
            reference = processes_ratio(pairs).ratio
            covered = sum(low <= reference <= high for low, high in intervals)
            width = median(max(high / reference - 1, 1 - low / reference) for low, high in intervals)
            rows.append({"a": a, "b": b, "case": case, "reference": reference, "covered": covered,
                         "runs": args.runs, "intervals": intervals})
            print(f"| {a}/{b} | {case} | {reference:.4f} | {covered}/{args.runs} | {width:.2%} |", flush=True)
    finally:
        for p in busy:
            os.killpg(p.pid, signal.SIGKILL)
    total = sum(r["covered"] for r in rows)
    runs = sum(r["runs"] for r in rows)
    print(f"coverage: {total} of {runs} intervals ({total / runs:.1%}) contain the pooled figure, over {len(rows)} cases")
    if args.json:
        args.json.write_text(json.dumps(rows, indent=1))


if __name__ == "__main__":
    run_tool(main)
