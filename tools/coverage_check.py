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
  advise  sortbench-advise on a file of four arrays of the case's pattern, size and type
          [--processes K]: the interval of its pick's ratio to std_sort; the pick
          may differ between runs, so each pick has its own reference, pooled over
          the runs that picked it

Cases of ab and rounds are A,B,CASE: two contenders and a case of the rounds
(pattern/size[/type]). The default list (21 cases) pairs std_sort with
pdqsort on random and few_distinct input, std_stable_sort with
flat_stable_sort on random input, each at 10^4, 10^5 and 10^6 as int32 and
kv16, and shell_sort with comb_sort on random int32. The advice's cases (20)
are random and few_distinct files at the same sizes and types, and zipf
and organ_pipe files at 10^4 and 10^5 as int32 and kv16.

Usage: tools/coverage_check.py [--program ab|rounds|advise] [--processes K] [--runs N] [--busy K]
                               [--cases REGEX] [--budget_s S] [--build DIR] [--json OUT]
"""

import json
import math
import re
import subprocess
import sys
import tempfile
from pathlib import Path

from benchdata import (REPO, ArgumentParser, ToolError, build_dir, busy_loops, compiled, executable, gmean, load_rounds, median,
                       median_ratio, processes_ratio, run_tool)

# std_stable_sort and flat_stable_sort run within 1% to 4% of each other on
# random input on a Zen 5 VM: the pair where an interval that claims too
# much shows first.
CASES = [("std_sort", "pdqsort", f"{p}/{n}{t}") for p in ("random", "few_distinct")
         for n in (10000, 100000, 1000000) for t in ("", "/kv16")]
CASES += [("std_stable_sort", "flat_stable_sort", f"random/{n}{t}") for n in (10000, 100000, 1000000)
          for t in ("", "/kv16")]
CASES += [("shell_sort", "comb_sort", f"random/{n}") for n in (10000, 100000, 1000000)]
ADVICE_CASES = [("advise", "std_sort", f"{p}/{n}{t}") for p in ("random", "few_distinct")
                for n in (10000, 100000, 1000000) for t in ("", "/kv16")]
# Skewed and presorted data, where the pick may be an adaptive sort rather
# than the fastest on random values.
ADVICE_CASES += [("advise", "std_sort", f"{p}/{n}{t}") for p in ("zipf", "organ_pipe")
                 for n in (10000, 100000) for t in ("", "/kv16")]
ROW = re.compile(r"^\| (?P<case>\S+) \|.*\| (?P<low>[\d.]+)\.\.(?P<high>[\d.inf]+) \|")


def run(command):
    r = subprocess.run([str(c) for c in command], capture_output=True, text=True)
    if r.returncode != 0:
        raise ToolError(f"{Path(str(command[0])).name} failed: "
                        f"{r.stderr.strip().splitlines()[-1] if r.stderr.strip() else r.returncode}")
    return r.stdout


def processes_flag(processes):
    return [f"--processes={processes}"] if processes else []


def ab_run(build, a, b, case, processes, tmp, budget):
    """(what the interval is of, interval printed, [(A, B) per process]) of
    one invocation of ab.py."""
    save = Path(tmp) / "ab.json"
    out = run([sys.executable, REPO / "tools" / "ab.py", a, b, f"--filter=^{case}$", "--full_grid",
               f"--save={save}", f"--build={build}", *processes_flag(processes)])
    rows = [m for line in out.splitlines() if (m := ROW.match(line))]
    if len(rows) != 1:
        raise ToolError(f"ab.py printed {len(rows)} rows for {case}")
    return b, (float(rows[0]["low"]), float(rows[0]["high"])), load_rounds(save)[1][0].pairs(1)


def rounds_run(build, a, b, case, processes, tmp, budget):
    """The same of one invocation of sortbench-rounds: the interval its file holds."""
    out = Path(tmp) / "rounds.json"
    run([executable(build, "sortbench-rounds"), f"--group={a},{b}", f"--filter=^{case}$", "--full_grid",
         f"--out={out}", *processes_flag(processes)])
    c = load_rounds(out)[1][0]
    return b, c.ratio(1).interval, c.pairs(1)


def advise_run(build, _, reference, case, processes, tmp, budget):
    """The same of one invocation of sortbench-advise on the case's file:
    its pick, the pick's interval against std_sort, and each process's
    median ratio of them."""
    pattern, n, *kind = case.split("/")
    kind = kind[0] if kind else "int32"
    path = Path(tmp) / f"{pattern}-{n}.{kind}"
    if not path.exists():
        with open(path, "wb") as f:
            subprocess.run([executable(build, "sortbench-counts"), f"--write={pattern}", f"--write_size={n}",
                            f"--write_type={kind}", "--write_arrays=4"], stdout=f, check=True)
    advice = json.loads(run([executable(build, "sortbench-advise"), f"--input={path}", f"--input_type={kind}",
                             f"--budget_s={budget}", "--format=json", *processes_flag(processes)]))
    if advice["reference"] != reference:
        raise ToolError(f"the advice's reference is {advice['reference']}, not {reference}")
    low, high = advice["interval"]
    return advice["pick"], (low, math.inf if high is None else high), advice["pick_over_reference_by_process"]


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("--program", choices=["ab", "rounds", "advise"], default="ab")
    ap.add_argument("--processes", type=int, default=None, help="the program's --processes (default: its own)")
    ap.add_argument("--runs", type=int, default=10)
    ap.add_argument("--busy", type=int, default=0)
    ap.add_argument("--cases", default=".", help="a regular expression on A,B,CASE")
    ap.add_argument("--build")
    ap.add_argument("--budget_s", type=int, default=10, help="each advice's budget (default 10)")
    ap.add_argument("--json", type=Path)
    args = ap.parse_args()
    build = build_dir(args.build)
    wanted = compiled(args.cases, "--cases")
    cases = [c for c in (ADVICE_CASES if args.program == "advise" else CASES) if wanted.search(",".join(c))]
    if not cases or args.runs < 2:
        raise ToolError("no case matches --cases, or --runs is below 2")
    take = {"ab": ab_run, "rounds": rounds_run, "advise": advise_run}[args.program]
    rows = []
    with busy_loops(args.busy):
        print(f"{args.program}, {args.processes or 'the default'} process(es) a run, {args.runs} runs a case, "
              f"{args.busy} busy loops beside")
        print("| pair | case | reference | covered | median half-width |")
        print("|---|---|---:|---:|---:|")
        for a, b, case in cases:
            taken = []
            with tempfile.TemporaryDirectory() as tmp:
                for _ in range(args.runs):
                    taken.append(take(build, a, b, case, args.processes, tmp, args.budget_s))
            # Each figure's reference: its ratio over every process of the
            # runs that gave it, as one run over all of them would give it.
            reference = {}
            for key in {k for k, _, _ in taken}:
                per = [p for k, _, ps in taken if k == key for p in ps]
                reference[key] = gmean(per) if args.program == "advise" else processes_ratio(per).ratio
            covered = sum(low <= reference[k] <= high for k, (low, high), _ in taken)
            width = median(max(high / reference[k] - 1, 1 - low / reference[k]) for k, (low, high), _ in taken)
            picks = ", ".join(f"{k} {sum(1 for t in taken if t[0] == k)}" for k in sorted(reference))
            rows.append({"a": a, "b": b, "case": case, "reference": reference, "covered": covered,
                         "runs": args.runs, "intervals": [t[1] for t in taken], "figures": [t[0] for t in taken],
                         "per_process": [[p if isinstance(p, float) else median_ratio(*p).ratio for p in t[2]]
                                         for t in taken]})
            shown = f"{a}/{b}" if args.program != "advise" else f"pick over {b} ({picks})"
            print(f"| {shown} | {case} | {' '.join(f'{v:.4f}' for v in reference.values())} | "
                  f"{covered}/{args.runs} | {width:.2%} |", flush=True)
    total = sum(r["covered"] for r in rows)
    runs = sum(r["runs"] for r in rows)
    print(f"coverage: {total} of {runs} intervals ({total / runs:.1%}) contain the pooled figure, over {len(rows)} cases")
    if args.json:
        args.json.write_text(json.dumps(rows, indent=1))


if __name__ == "__main__":
    run_tool(main)
