#!/usr/bin/python3
"""Is B faster than A? Times two contenders in paired rounds (sortbench-rounds:
in each round both sort the same arrays, in random order) over --processes
separate processes, each with its own address-space layout and a different
environment size, and prints, for every case, B/A with its 95% interval:
the figure sortbench-rounds writes. In one process that is the median of
the round-by-round ratios and its order-statistic interval, said to be one
process's; over several, each process's median ratio is one sample of the
between-process level, and the interval is a t interval on their logs (or
the pooled rounds' interval, where that is wider at an end), so that a
layout that favours one side in one process no longer decides the verdict.
The verdict is "B faster" or "B slower" where the interval lies on one side
of 1, else "tie". Beside it, named as such, a second test: Wilcoxon's
signed-rank p on all the rounds' ratios.

Usage: tools/ab.py A B [--processes K] [--contender [NAME=]PATH ...] [--filter REGEX] [--rounds N]
                       [--full_grid] [--input FILE ...] [--save FILE] [--build DIR]
       tools/ab.py --load FILE [FILE ...] [--build DIR]
A and B are contender names: built-in ones, or libraries named with
--contender=NAME=PATH (two builds of one sort load side by side that way).
--save FILE keeps the rounds of every process in FILE; --load reads such
files back (several are merged by sortbench-rounds --combine, as processes
of one run).
"""

import subprocess
import tempfile
from pathlib import Path

from benchdata import ArgumentParser, ToolError, build_dir, executable, load_rounds, median, run_tool, wilcoxon_p


def load_pair(source):
    group, cases = load_rounds(source)
    if len(group) != 2:
        raise ToolError(f"{source}: a group of {len(group)}; A/B compares two")
    return group, cases


def table(group, cases):
    a, b = group
    rests_on = cases[0].ratio(1).rests_on()
    lines = [f"B/A by paired rounds: A = {a}, B = {b}; ratio of {cases[0].figure} time, 95% interval "
             f"({rests_on}); second test: Wilcoxon signed-rank p",
             "| case | A ns/call | B ns/call | B/A | 95% interval | processes | rounds | verdict | "
             "second test: Wilcoxon p |",
             "|---|---:|---:|---:|---|---:|---:|---|---:|"]
    for c in cases:
        r = c.ratio(1)
        lines.append(f"| {c.name} | {median(c.ns[0]):,.0f} | {median(c.ns[1]):,.0f} | "
                     f"{r.ratio:.4f} | {r.low:.4f}..{r.high:.4f} | {r.processes} | {r.pairs} | {r.verdict()} | "
                     f"{wilcoxon_p(c.ns[0], c.ns[1]):.3g} |")
    return lines


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("a", nargs="?")
    ap.add_argument("b", nargs="?")
    ap.add_argument("--contender", action="append", default=[], metavar="[NAME=]PATH")
    ap.add_argument("--filter", help="cases pattern/size[/type][/cold] to run (default: the default run's)")
    ap.add_argument("--rounds", type=int, help="exactly this many rounds a process (default: until the interval "
                                                "is within +-2%% or the case has run 20 s)")
    ap.add_argument("--full_grid", action="store_true")
    ap.add_argument("--input", help="your data as one more pattern (with --input_type and so on, as the suite)")
    ap.add_argument("--input_type")
    ap.add_argument("--input_text", action="store_true")
    ap.add_argument("--input_sizes")
    ap.add_argument("--processes", type=int, help="separate processes of rounds (default: sortbench-rounds' own)")
    ap.add_argument("--save", type=Path, help="keep the rounds' JSON here")
    ap.add_argument("--load", type=Path, nargs="+", help="read rounds saved before instead of running")
    ap.add_argument("--build", help="build directory (default: the repository's build/release)")
    args = ap.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        if args.load and len(args.load) > 1:
            path = Path(tmp) / "merged.json"
            rounds(args.build, [f"--combine={f}" for f in args.load] + [f"--out={path}"])
        elif args.load:
            path = args.load[0]
        else:
            if not args.a or not args.b:
                raise ToolError("name the two contenders: tools/ab.py A B")
            path = args.save or Path(tmp) / "rounds.json"
            command = [f"--group={args.a},{args.b}", f"--out={path}"]
            command += [f"--processes={args.processes}"] if args.processes is not None else []
            command += [f"--min_rounds={args.rounds}", f"--rounds={args.rounds}"] if args.rounds else []
            command += [f"--contender={c}" for c in args.contender]
            command += [f"--filter={args.filter}"] if args.filter else []
            command += ["--full_grid"] if args.full_grid else []
            command += [f"--{k}={v}" for k in ("input", "input_type", "input_sizes") if (v := getattr(args, k))]
            command += ["--input_text"] if args.input_text else []
            rounds(args.build, command)
        group, cases = load_rounds(path)
    if len(group) != 2:
        raise ToolError(f"{path}: a group of {len(group)}; A/B compares two")
    print("\n".join(table(group, cases)))


def rounds(build, flags):
    """Runs sortbench-rounds with `flags`; its refusal becomes ours."""
    binary = executable(build_dir(build), "sortbench-rounds")
    run = subprocess.run([str(binary), *flags], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if run.returncode != 0:
        raise ToolError(run.stderr.strip().splitlines()[-1] if run.stderr.strip() else
                        f"{binary} exited with status {run.returncode}")


if __name__ == "__main__":
    run_tool(main)
