#!/usr/bin/python3
"""Is B faster than A? Times two contenders in paired rounds (sortbench-rounds:
in each round both sort the same arrays, in random order) in --processes
separate processes, each with its own address-space layout and a different
environment size, and prints, for every case, B/A with its 95% interval. In
one process that is the median of the round-by-round ratios and its
order-statistic interval: the figure sortbench-rounds stops on, said to be
one process's. Over several, each process's median ratio is one sample of
the between-process level, and the interval is a t interval on their logs
(or the pooled rounds' interval, where that is wider at an end): a layout
that favours one side in one process no longer decides the verdict. The
verdict is "B faster" or "B slower" where the interval lies on one side of
1, else "tie". Beside it, named as such, a second test: Wilcoxon's
signed-rank p on all the rounds' ratios.

Usage: tools/ab.py A B [--processes K] [--contender [NAME=]PATH ...] [--filter REGEX] [--rounds N]
                       [--full_grid] [--input FILE ...] [--save FILE] [--build DIR]
       tools/ab.py --load FILE [FILE ...]
A and B are contender names: built-in ones, or libraries named with
--contender=NAME=PATH (two builds of one sort load side by side that way).
--save FILE keeps the first process's rounds in FILE and process k's in
FILE.k; --load reads them back, one file a process.
"""

import os
import random
import subprocess
import tempfile
from pathlib import Path

from benchdata import (ArgumentParser, ToolError, build_dir, executable, load_rounds, median, processes_ratio, run_tool,
                       wilcoxon_p)

# Processes of rounds a verdict rests on by default. On a 2-vCPU Zen 5 VM
# (16 cases, 10 runs each), one process's interval held the figure pooled over
# all processes in 68% of cases; three processes' in 95% quiet and 91% with
# two busy loops beside (tools/coverage_check.py, docs/rounds.md).
DEFAULT_PROCESSES = 3


def load_pair(source):
    group, cases = load_rounds(source)
    if len(group) != 2:
        raise ToolError(f"{source}: a group of {len(group)}; A/B compares two")
    return group, cases


def processes_by_case(runs):
    """{case name: [(A's series, B's series) per process]} of the runs'
    (group, cases), in the first run's case order; a case some process did
    not run is left out."""
    group = runs[0][0]
    if any(g != group for g, _ in runs):
        raise ToolError("the processes' files name different groups")
    names = [c.name for c in runs[0][1]]
    by_case = {name: [] for name in names}
    for _, cases in runs:
        for c in cases:
            if c.name in by_case:
                by_case[c.name].append((c.ns[0], c.ns[1]))
    return group, runs[0][1][0].figure, {k: v for k, v in by_case.items() if len(v) == len(runs)}


def table(group, figure, by_case):
    a, b = group
    ratios = {name: processes_ratio(pairs) for name, pairs in by_case.items()}
    lines = [f"B/A by paired rounds: A = {a}, B = {b}; ratio of {figure} time, 95% interval "
             f"({next(iter(ratios.values())).rests_on()}); second test: Wilcoxon signed-rank p",
             "| case | A ns/call | B ns/call | B/A | 95% interval | processes | rounds | verdict | "
             "second test: Wilcoxon p |",
             "|---|---:|---:|---:|---|---:|---:|---|---:|"]
    for name, pairs in by_case.items():
        ta = [x for s, _ in pairs for x in s]
        tb = [y for _, s in pairs for y in s]
        r = ratios[name]
        lines.append(f"| {name} | {median(ta):,.0f} | {median(tb):,.0f} | "
                     f"{r.ratio:.4f} | {r.low:.4f}..{r.high:.4f} | {r.processes} | {r.pairs} | {r.verdict()} | "
                     f"{wilcoxon_p(ta, tb):.3g} |")
    return lines


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("a", nargs="?")
    ap.add_argument("b", nargs="?")
    ap.add_argument("--contender", action="append", default=[], metavar="[NAME=]PATH")
    ap.add_argument("--filter", help="cases pattern/size[/type][/cold] to run (default: the default run's)")
    ap.add_argument("--rounds", type=int, help="exactly this many rounds (default: until the interval is "
                                                "within +-2%% or the case has run 20 s)")
    ap.add_argument("--full_grid", action="store_true")
    ap.add_argument("--input", help="your data as one more pattern (with --input_type and so on, as the suite)")
    ap.add_argument("--input_type")
    ap.add_argument("--input_text", action="store_true")
    ap.add_argument("--input_sizes")
    ap.add_argument("--processes", type=int, default=DEFAULT_PROCESSES,
                    help=f"separate processes of rounds (default {DEFAULT_PROCESSES})")
    ap.add_argument("--save", type=Path, help="keep the rounds' JSON here (process k's in FILE.k)")
    ap.add_argument("--load", type=Path, nargs="+", help="read rounds saved before instead of running, a file a process")
    ap.add_argument("--build", help="build directory (default: the repository's build/release)")
    args = ap.parse_args()
    if args.load:
        runs = [load_pair(f) for f in args.load]
    else:
        if not args.a or not args.b:
            raise ToolError("name the two contenders: tools/ab.py A B")
        if not 1 <= args.processes <= 100:
            raise ToolError(f"--processes must be from 1 to 100, not {args.processes}")
        binary = executable(build_dir(args.build), "sortbench-rounds")
        command = [str(binary), f"--group={args.a},{args.b}"]
        if args.rounds:
            command += [f"--min_rounds={args.rounds}", f"--rounds={args.rounds}"]
        command += [f"--contender={c}" for c in args.contender]
        command += [f"--filter={args.filter}"] if args.filter else []
        command += ["--full_grid"] if args.full_grid else []
        command += [f"--{k}={v}" for k in ("input", "input_type", "input_sizes") if (v := getattr(args, k))]
        command += ["--input_text"] if args.input_text else []
        runs = []
        with tempfile.TemporaryDirectory() as tmp:
            for k in range(1, args.processes + 1):
                out = (args.save if k == 1 else args.save.with_name(f"{args.save.name}.{k}")) if args.save else \
                    Path(tmp) / f"rounds.{k}.json"
                runs.append(load_pair(rounds_process(binary, [*command, f"--out={out}"], out)))
    print("\n".join(table(*processes_by_case(runs))))


def rounds_process(binary, command, out):
    """Runs one process of rounds, its environment grown by a random number of
    bytes so that its stack starts elsewhere (the kernel's randomisation
    moves the rest), and returns the file it wrote."""
    env = dict(os.environ, SORTBENCH_LAYOUT_PAD="x" * random.randrange(4096))
    run = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, env=env)
    if run.returncode != 0:
        raise ToolError(run.stderr.strip().splitlines()[-1] if run.stderr.strip() else
                        f"{binary} exited with status {run.returncode}")
    return out


if __name__ == "__main__":
    run_tool(main)
