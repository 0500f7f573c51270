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

With --layouts=K (3 or more), A and B are libraries, and each process k of
K loads other copies of them that differ only in code placement (built
beside each library as LIB.layout1.so ... LIB.layoutK.so, see
cmake/LayoutCopies.cmake): A's copy k, B's copy k+1, and as a third member
A's copy k+2 (sortbench-rounds --layouts). The interval then includes what
placement alone does, and A's two placements give the case's layout noise:
the farthest from 1 that one process's median ratio of them fell. The
verdict is still the interval's: one wholly on one side of 1 is a
difference that the placements, each process at its own, did not explain.
A tie whose ratio lies within the layout noise reads "tie: within what code
placement alone moves": one build of B against one of A could have come out
that far apart for where their code lies alone.

Usage: tools/ab.py A B [--processes K | --layouts K] [--contender [NAME=]PATH ...] [--filter REGEX]
                       [--rounds N] [--full_grid] [--input FILE ...] [--save FILE] [--build DIR]
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

from benchdata import (ArgumentParser, ToolError, build_dir, executable, load_rounds, median, median_ratio, run_tool,
                       wilcoxon_p)

PLACEMENT_TIE = "tie: within what code placement alone moves"


def load_pair(source):
    group, cases = load_rounds(source)
    if len(group) != 2:
        raise ToolError(f"{source}: a group of {len(group)}; A/B compares two")
    return group, cases


def layout_noise(case):
    """How far apart two placements of A ran in one process, at most: the
    largest distance from 1 of a process's median ratio of A's third member
    (A at another placement) to A."""
    return max(abs(median_ratio(a, b).ratio - 1) for a, b in case.pairs(2))


def verdict(r, noise):
    said = r.verdict()
    return PLACEMENT_TIE if said == "tie" and noise is not None and abs(r.ratio - 1) <= noise else said


def table(group, cases, layouts=False):
    a, b = group[:2]
    rests_on = cases[0].ratio(1).rests_on() + (", a placement each" if layouts else "")
    lines = [f"B/A by paired rounds: A = {a}, B = {b}; ratio of {cases[0].figure} time, 95% interval "
             f"({rests_on}); second test: Wilcoxon signed-rank p",
             "| case | A ns/call | B ns/call | B/A | 95% interval | processes | rounds |"
             + (" layout noise |" if layouts else "") + " verdict | second test: Wilcoxon p |",
             "|---|---:|---:|---:|---|---:|---:|" + ("---:|" if layouts else "") + "---|---:|"]
    for c in cases:
        r = c.ratio(1)
        noise = layout_noise(c) if layouts else None
        lines.append(f"| {c.name} | {median(c.ns[0]):,.0f} | {median(c.ns[1]):,.0f} | "
                     f"{r.ratio:.4f} | {r.low:.4f}..{r.high:.4f} | {r.processes} | {r.pairs} | "
                     + (f"{noise:.2%} | " if layouts else "") + f"{verdict(r, noise)} | "
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
    ap.add_argument("--layouts", type=int, help="processes that each load other placement copies of A and B")
    ap.add_argument("--save", type=Path, help="keep the rounds' JSON here")
    ap.add_argument("--load", type=Path, nargs="+", help="read rounds saved before instead of running")
    ap.add_argument("--build", help="build directory (default: the repository's build/release)")
    args = ap.parse_args()
    if args.layouts is not None and args.processes is not None:
        raise ToolError("--layouts=K runs K processes, a placement each: give it without --processes")
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
            common = [f"--min_rounds={args.rounds}", f"--rounds={args.rounds}"] if args.rounds else []
            common += [f"--filter={args.filter}"] if args.filter else []
            common += ["--full_grid"] if args.full_grid else []
            common += [f"--{k}={v}" for k in ("input", "input_type", "input_sizes") if (v := getattr(args, k))]
            common += ["--input_text"] if args.input_text else []
            command = [f"--group={args.a},{args.b}", f"--out={path}"] + common
            command += [f"--contender={c}" for c in args.contender]
            if args.layouts:
                command += [f"--processes={args.layouts}", "--layouts"]
            elif args.processes is not None:
                command += [f"--processes={args.processes}"]
            rounds(args.build, command)
        group, cases = load_rounds(path)
    placed = len(group) == 3 and group[2] == f"{group[0]}_placed"
    if len(group) != 2 and not placed:
        raise ToolError(f"{path}: a group of {len(group)}; A/B compares two")
    print("\n".join(table(group, cases, placed)))


def rounds(build, flags):
    """Runs sortbench-rounds with `flags`; its refusal becomes ours."""
    binary = executable(build_dir(build), "sortbench-rounds")
    run = subprocess.run([str(binary), *flags], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if run.returncode != 0:
        raise ToolError(run.stderr.strip().splitlines()[-1] if run.stderr.strip() else
                        f"{binary} exited with status {run.returncode}")


if __name__ == "__main__":
    run_tool(main)
