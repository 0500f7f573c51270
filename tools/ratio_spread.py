#!/usr/bin/python3
"""How far each contender's ratio to a reference moves from one process to
the next: runs N separate processes of the same benchmarks and prints, for
every ratio, its value in each process and the cv across them, then the
median and largest cv; in rounds mode also the cv across processes of each
member's time and of its time in copies of the floor of the same batches. Optionally with K busy loops running beside it, as a
loaded machine.

Two ways to take the ratios:
  --mode rounds  sortbench-rounds: the members in paired rounds, CPU time, the
                 median of the round-by-round ratios (the default)
  --mode suite   sortbench-patterns: each benchmark's median of repetitions
                 over the reference's, as the ratio tables take them (CPU
                 time for sequential sorts, wall time for parallel ones)
  --mode suite-wall  the same, of the wall time

Usage: tools/ratio_spread.py --group std_sort,pdqsort,... --cases REGEX
                             [--mode rounds|suite|suite-wall] [--processes N] [--busy K]
                             [--extra ARGS] [--build DIR]
The first of --group is the reference; --cases selects pattern/size[/type][/cold]
(anchored at both ends).
"""

import re
import shlex
import subprocess
import tempfile
from pathlib import Path

from benchdata import (ArgumentParser, Name, SuiteRun, ToolError, build_dir, busy_loops, cv, executable, load_rounds, median,
                       median_ratio, percent, run_tool)


def rounds_ratios(build, group, cases, extra):
    """({(case, member): ratio to the reference}, {(case, member): (median ns
    per call, median copies of the floor)}) of one process."""
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "rounds.json"
        command = [str(executable(build, "sortbench-rounds")), f"--group={','.join(group)}", f"--filter={cases}",
                   f"--out={out}", "--processes=1", *extra]
        run = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            raise ToolError(f"{' '.join(command)}: {run.stderr.strip()[-300:]}")
        _, loaded = load_rounds(out)
    levels = {(c.name, m): (median(c.ns[i]), median(w / f for w, f in zip(c.wall[i], c.copy[i])))
              for c in loaded for i, m in enumerate(c.members)}
    return {(c.name, m): median_ratio(c.ns[0], c.ns[i]).ratio
            for c in loaded for i, m in enumerate(c.members) if i}, levels


def suite_ratios(build, group, cases, extra, figure="held"):
    names = "|".join(group)
    inner = cases.removeprefix("^").removesuffix("$")
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        command = [str(executable(build, "sortbench-patterns")), f"--benchmark_filter=^({names})/({inner})/manual_time$",
                   f"--benchmark_out={out.name}", *extra]
        run = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            raise ToolError(f"{' '.join(command)}: {run.stderr.strip()[-300:]}")
        suite = SuiteRun(out.name)
    wanted = re.compile(cases)
    by_case = {}
    for t in suite.types:
        for state in ("warm", "cold"):
            for (c, p, n), v in suite.values(t, state, figure).items():
                case = str(Name(c, p, n, t, 0, state == "cold")).split("/", 1)[1]
                if wanted.search(case):
                    by_case.setdefault(case, {})[c] = v
    return {(case, m): v[m] / v[group[0]] for case, v in by_case.items() if group[0] in v
            for m in group[1:] if m in v}, None


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("--group", required=True)
    ap.add_argument("--cases", required=True)
    ap.add_argument("--mode", choices=["rounds", "suite", "suite-wall"], default="rounds")
    ap.add_argument("--processes", type=int, default=5)
    ap.add_argument("--busy", type=int, default=0, help="busy loops beside the runs (default 0)")
    ap.add_argument("--extra", default="", help="more arguments for the program")
    ap.add_argument("--build")
    args = ap.parse_args()
    group = args.group.split(",")
    if len(group) < 2 or args.processes < 2:
        raise ToolError("--group needs two contenders or more, and --processes two or more")
    build = build_dir(args.build)
    take = {"rounds": rounds_ratios, "suite": suite_ratios,
            "suite-wall": lambda *a: suite_ratios(*a, figure="wall")}[args.mode]
    with busy_loops(args.busy):
        taken = [take(build, group, args.cases, shlex.split(args.extra)) for _ in range(args.processes)]
        runs = [ratios for ratios, _ in taken]
        levels = [level for _, level in taken if level is not None]
    keys = sorted(set().union(*runs))
    if not keys:
        raise ToolError(f"no case matched {args.cases!r}")
    print(f"{args.mode}: {args.processes} processes, {args.busy} busy loops beside; ratio to {group[0]}")
    print("| case | contender | " + " | ".join(f"p{i + 1}" for i in range(len(runs))) + " | cv |")
    print("|---|---|" + "---:|" * (len(runs) + 1))
    spreads = []
    for k in keys:
        values = [r[k] for r in runs if k in r]
        spreads.append(cv(values))
        print(f"| {k[0]} | {k[1]} | " + " | ".join(f"{v:.4f}" for v in values) + f" | {percent(spreads[-1])} |")
    print(f"median cv {percent(median(spreads))}, largest {percent(max(spreads))}")
    if levels:
        both = [k for k in levels[0] if all(k in p for p in levels)]
        for i, what in enumerate(("ns per call", "copies of the floor")):
            spread = [cv([p[k][i] for p in levels]) for k in both]
            print(f"{what}, every member: median cv {percent(median(spread))}, largest {percent(max(spread))}")


if __name__ == "__main__":
    run_tool(main)
