#!/usr/bin/env python3
"""Repeats suite benchmarks across processes and sets the spread between
processes beside the spread within them. Repetitions inside one process share
its heap, its pages and its code placement, so they cannot show what changes
from one process to the next; this can.

Each variant is a set of extra arguments for sortbench-patterns (a filter,
interleaving on or off, ...). The processes of all variants are interleaved,
variant A, variant B, variant A, ..., so that a burst of load hits them alike.
From every process it takes, for each benchmark that the --benchmark regex
selects, the minimum and median of its repetitions and their cv.

Usage:
  tools/processes.py [--processes N] [--repetitions R] [--benchmark REGEX]
                     [--variant NAME=ARGS ...] [--build DIR]

Without --variant there is one, running just --benchmark. Example, c_qsort
alone against c_qsort after the other routines of the same size:

  tools/processes.py --benchmark '^c_qsort/ascending/1000000$' \\
    --variant "alone=--benchmark_filter=^c_qsort/ascending/1000000/manual_time$" \\
    --variant "after=--benchmark_filter=^(shell_sort|comb_sort|ex_quick_sort|c_qsort)/ascending/1000000/manual_time$ \\
                     --benchmark_enable_random_interleaving=false"
"""

import argparse
import re
import shlex
import statistics
import subprocess
import tempfile

from benchdata import ToolError, build_dir, executable, load_benchmarks, run_tool


def cv(values):
    return statistics.stdev(values) / statistics.mean(values) if len(values) > 1 else 0.0


def one_process(suite, args, repetitions, selected):
    """{benchmark: [ns of each repetition]} from one process."""
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        run = subprocess.run([str(suite), *args, f"--benchmark_repetitions={repetitions}",
                              f"--benchmark_out={out.name}", "--benchmark_out_format=json"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            raise ToolError(f"{suite} {' '.join(args)} failed: {run.stderr.strip()[-300:]}")
        samples = {}
        for b in load_benchmarks(out.name)[1]:
            name = b["run_name"].removesuffix("/manual_time")
            if b.get("run_type") == "iteration" and not b.get("error_occurred") and selected.search(name):
                samples.setdefault(name, []).append(b["real_ns"])
        return samples


def summarise(per_process):
    """Lines for one benchmark of one variant: each process, then across them."""
    mins = [min(s) for s in per_process]
    medians = [statistics.median(s) for s in per_process]
    lines = [f"    process {i + 1}: min {m / 1e6:10.3f} ms  median {md / 1e6:10.3f} ms  cv within {cv(s):6.1%}"
             for i, (m, md, s) in enumerate(zip(mins, medians, per_process))]
    within = statistics.median(cv(s) for s in per_process)
    lines.append(f"    across {len(mins)} processes: minimums {min(mins) / 1e6:.3f}..{max(mins) / 1e6:.3f} ms "
                 f"(max/min {max(mins) / min(mins):.2f}, cv {cv(mins):.1%}); median cv within a process {within:.1%}")
    return lines


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--processes", type=int, default=5, help="processes per variant (default 5)")
    ap.add_argument("--repetitions", type=int, default=5, help="repetitions inside each process (default 5)")
    ap.add_argument("--benchmark", default=".", help="regex of the benchmark names to report, without /manual_time")
    ap.add_argument("--variant", action="append", default=[], metavar="NAME=ARGS",
                    help="a named set of extra arguments for the suite; repeatable")
    ap.add_argument("--build", help="build directory (default: the repository's build/release)")
    args = ap.parse_args()
    if args.processes < 2 or args.repetitions < 1:
        raise ToolError("--processes must be at least 2 and --repetitions at least 1")
    suite = executable(build_dir(args.build), "sortbench-patterns")
    selected = re.compile(args.benchmark)
    variants = {}
    for v in args.variant or [f"default=--benchmark_filter={args.benchmark}"]:
        name, sep, rest = v.partition("=")
        if not sep or not name:
            raise ToolError(f"--variant takes NAME=ARGS, not {v!r}")
        variants[name] = shlex.split(rest)

    samples = {name: [] for name in variants}
    for _ in range(args.processes):
        for name, extra in variants.items():
            samples[name].append(one_process(suite, extra, args.repetitions, selected))

    print(f"{args.processes} processes per variant, interleaved, {args.repetitions} repetitions each")
    for name, processes in samples.items():
        benchmarks = sorted(set().union(*processes))
        if not benchmarks:
            raise ToolError(f"variant {name}: no benchmark matched {args.benchmark!r}")
        for b in benchmarks:
            print(f"{name}: {b}")
            print("\n".join(summarise([p[b] for p in processes if b in p])))


if __name__ == "__main__":
    run_tool(main)
