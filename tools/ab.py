#!/usr/bin/python3
"""Is B faster than A? Times two contenders in paired rounds in one process
(sortbench-rounds: in each round both sort the same arrays, in random
order) and prints, for every case, B/A as the median of the round-by-round
ratios with its 95% interval: the figure sortbench-rounds stops on, and the
one the paired table and the report print. The verdict is "B faster" or "B
slower" where the interval lies on one side of 1, else "tie". Beside it,
named as such, a second test: Wilcoxon's signed-rank p on the same ratios.
A burst of load lands on both sides of a round, so the paired ratio holds
where two separate runs' figures do not.

Usage: tools/ab.py A B [--contender [NAME=]PATH ...] [--filter REGEX] [--rounds N]
                       [--full_grid] [--input FILE ...] [--save FILE] [--build DIR]
       tools/ab.py --load FILE
A and B are contender names: built-in ones, or libraries named with
--contender=NAME=PATH (two builds of one sort load side by side that way).
"""

import json
import subprocess
import tempfile
from pathlib import Path

from benchdata import (ArgumentParser, ToolError, build_dir, executable, load_rounds, median, median_ratio, run_tool,
                       wilcoxon_p)


def load_pair(source):
    group, cases = load_rounds(source)
    if len(group) != 2:
        raise ToolError(f"{source}: a group of {len(group)}; A/B compares two")
    return group, cases


def table(group, cases):
    a, b = group
    lines = [f"B/A by paired rounds: A = {a}, B = {b}; ratio = median of the rounds' ratios of "
             f"{cases[0].figure} time, 95% interval; second test: Wilcoxon signed-rank p",
             "| case | A ns/call | B ns/call | B/A | 95% interval | rounds | verdict | second test: Wilcoxon p |",
             "|---|---:|---:|---:|---|---:|---|---:|"]
    for c in cases:
        ta, tb = c.ns
        r = median_ratio(ta, tb)
        lines.append(f"| {c.name} | {median(ta):,.0f} | {median(tb):,.0f} | "
                     f"{r.ratio:.4f} | {r.low:.4f}..{r.high:.4f} | {r.pairs} | {r.verdict()} | "
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
    ap.add_argument("--save", type=Path, help="keep the rounds' JSON here")
    ap.add_argument("--load", type=Path, help="read rounds saved before instead of running")
    ap.add_argument("--build", help="build directory (default: the repository's build/release)")
    args = ap.parse_args()
    if args.load:
        group, cases = load_pair(args.load)
    else:
        if not args.a or not args.b:
            raise ToolError("name the two contenders: tools/ab.py A B")
        binary = executable(build_dir(args.build), "sortbench-rounds")
        with tempfile.TemporaryDirectory() as tmp:
            out = args.save or Path(tmp) / "rounds.json"
            command = [str(binary), f"--group={args.a},{args.b}", f"--out={out}"]
            if args.rounds:
                command += [f"--min_rounds={args.rounds}", f"--rounds={args.rounds}"]
            command += [f"--contender={c}" for c in args.contender]
            command += [f"--filter={args.filter}"] if args.filter else []
            command += ["--full_grid"] if args.full_grid else []
            command += [f"--{k}={v}" for k in ("input", "input_type", "input_sizes") if (v := getattr(args, k))]
            command += ["--input_text"] if args.input_text else []
            run = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            if run.returncode != 0:
                raise ToolError(run.stderr.strip().splitlines()[-1] if run.stderr.strip() else
                                f"{binary} exited with status {run.returncode}")
            group, cases = load_pair(out)
    print("\n".join(table(group, cases)))


if __name__ == "__main__":
    run_tool(main)
