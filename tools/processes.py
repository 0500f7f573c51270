#!/usr/bin/python3
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

Without --variant there is one, running just --benchmark. Example, std_sort
alone against std_sort after pdqsort on the same arrays:

  tools/processes.py --benchmark '^std_sort/ascending/1000000$' \\
    --variant "alone=--benchmark_filter=^std_sort/ascending/1000000/manual_time$" \\
    --variant "after=--benchmark_filter=^(pdqsort|std_sort)/ascending/1000000/manual_time$ \\
                     --benchmark_enable_random_interleaving=false"
"""

import shlex
import subprocess
import tempfile
from dataclasses import dataclass

from benchdata import (ArgumentParser, SuiteRun, ToolError, build_dir, compiled, cv, executable, median, percent,
                       run_tool)


def one_process(suite, args, repetitions, selected):
    """{benchmark name: [ns of each repetition]} from one process."""
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        run = subprocess.run([str(suite), *args, f"--benchmark_repetitions={repetitions}",
                              f"--benchmark_out={out.name}", "--benchmark_out_format=json"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            raise ToolError(f"{suite} {' '.join(args)} failed: {run.stderr.strip()[-300:]}")
        return {str(name): f.samples for name, f in SuiteRun(out.name).figures.items()
                if f.samples and selected.search(str(name))}


@dataclass
class Spread:
    """One benchmark over several processes."""
    minimums: list   # each process's fastest repetition
    medians: list    # each process's median repetition
    within: list     # each process's cv between its repetitions

    @property
    def across(self):
        """The cv of the processes' minimums: how far they move between processes."""
        return cv(self.minimums)

    @property
    def within_median(self):
        values = [v for v in self.within if v is not None]
        return median(values) if values else None


def spread(per_process):
    """The Spread of one benchmark from its repetitions in each process."""
    return Spread([min(s) for s in per_process], [median(s) for s in per_process], [cv(s) for s in per_process])


def summarise(per_process):
    """Lines for one benchmark of one variant: each process, then across them."""
    s = spread(per_process)
    lines = [f"    process {i + 1}: min {m / 1e6:10.3f} ms  median {md / 1e6:10.3f} ms  cv within {percent(w):>6}"
             for i, (m, md, w) in enumerate(zip(s.minimums, s.medians, s.within))]
    lines.append(f"    across {len(s.minimums)} processes: minimums {min(s.minimums) / 1e6:.3f}.."
                 f"{max(s.minimums) / 1e6:.3f} ms (max/min {max(s.minimums) / min(s.minimums):.2f}, "
                 f"cv {percent(s.across)}); median cv within a process {percent(s.within_median)}")
    return lines


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("--processes", type=int, default=5, help="processes per variant (default 5)")
    ap.add_argument("--repetitions", type=int, default=5, help="repetitions inside each process (default 5)")
    ap.add_argument("--benchmark", default=".", help="regex of the benchmark names to report, without /manual_time")
    ap.add_argument("--variant", action="append", default=[], metavar="NAME=ARGS",
                    help="a named set of extra arguments for the suite; repeatable")
    ap.add_argument("--build", help="build directory (default: the repository's build/release)")
    args = ap.parse_args()
    if args.processes < 2 or args.repetitions < 1:
        raise ToolError("--processes must be at least 2 and --repetitions at least 1")
    selected = compiled(args.benchmark)
    variants = {}
    for v in args.variant or [f"default=--benchmark_filter={args.benchmark}"]:
        name, sep, rest = v.partition("=")
        if not sep or not name:
            raise ToolError(f"--variant takes NAME=ARGS, not {v!r}")
        variants[name] = shlex.split(rest)
    suite = executable(build_dir(args.build), "sortbench-patterns")

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
