#!/usr/bin/python3
"""Cross-checks sortbench against the companion suite on the input sortbench
uses (ascending arrays, by default the suite's cold figures, whose arrays come
from memory as sortbench's do). Runs are interleaved, sortbench then the suite
then sortbench ..., so that a burst of load hits both sides alike. Each cell
is judged against the spread of both sides' samples:

  agree            medians within 5%
  within noise     medians more than 5% apart, but a two-sided Mann-Whitney
                   U test does not find the samples different at p < 0.05
  DIFFER           more than 5% apart, and different at p < 0.05

With fewer than 9 runs a side the U test can rarely reach that level (at 5
runs the smallest p is 0.008, at 2 it is 1/3): the tool says so, and a
difference it cannot show stays "within noise".

It also prints the suite's spread within a process (between the repetitions
of one process) beside its spread across processes (between the medians of
the runs), and sortbench's spread across its runs.

Usage: tools/crosscheck.py [--runs N] [--state cold|warm] [--min-time S] [--repetitions R] [--build DIR]
"""

import subprocess
import tempfile
from pathlib import Path

from benchdata import (ALPHA, MIN_SAMPLES, ArgumentParser, SuiteRun, ToolError, build_dir, cv, differ, executable,
                       median, parse_report, percent, routines, run_tool)

AGREE = 0.05


def sortbench_run(binary: Path, build: Path):
    run = subprocess.run([str(binary)], capture_output=True)
    if run.returncode != 0:
        raise ToolError(f"{binary} exited with status {run.returncode}")
    sizes, _, rows = parse_report(run.stdout, build, str(binary))
    return {(r, n): us for r, values in rows.items() for n, us in zip(sizes, values) if us}


def suite_run(binary: Path, ids, state: str, min_time: float, repetitions: int):
    # Google Benchmark matches the filter against the name with its
    # /manual_time suffix.
    suffix = "/cold/" if state == "cold" else "/manual_time"
    pattern = f"^({'|'.join(ids)})/ascending/[0-9]+{suffix}"
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        run = subprocess.run(
            [str(binary), f"--benchmark_filter={pattern}", f"--benchmark_repetitions={repetitions}",
             f"--benchmark_min_time={min_time}", f"--benchmark_out={out.name}", "--benchmark_out_format=json"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            raise ToolError(f"{binary} failed: {run.stderr.strip()[-200:]}")
        figures = {}
        for name, f in SuiteRun(out.name).figures.items():
            if f.samples:
                figures[(name.contender, name.size)] = [ns / 1000 for ns in f.samples]
        return figures


def verdict(ours, theirs):
    """(ratio of the medians, verdict) of two sides' samples."""
    ratio = median(ours) / median(theirs)
    if abs(ratio - 1) <= AGREE:
        return ratio, "agree"
    return ratio, "DIFFER" if differ(ours, theirs).significant else "within noise"


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("--runs", type=int, default=5, help="runs of each side (default 5)")
    ap.add_argument("--state", choices=["cold", "warm"], default="cold")
    ap.add_argument("--min-time", type=float, default=0.05, help="the suite's minimum time per benchmark")
    ap.add_argument("--repetitions", type=int, default=3,
                    help="the suite's repetitions inside each of its processes (default 3)")
    ap.add_argument("--build", help="build directory (default: the repository's build/release)")
    args = ap.parse_args()
    if args.runs < 2:
        raise ToolError("--runs must be at least 2: a spread needs two samples")
    build = build_dir(args.build)
    sortbench = executable(build, "sortbench")
    suite = executable(build, "sortbench-patterns")
    ids = [r["id"] for r in routines(build)]

    # theirs: the median of each suite process; within: the cv of the
    # repetitions inside each process, to set beside the spread across them.
    ours, theirs, within = {}, {}, {}
    for _ in range(args.runs):
        for key, us in sortbench_run(sortbench, build).items():
            ours.setdefault(key, []).append(us)
        for key, reps in suite_run(suite, ids, args.state, args.min_time, args.repetitions).items():
            theirs.setdefault(key, []).append(median(reps))
            within.setdefault(key, []).append(cv(reps))

    sizes = sorted({n for _, n in ours})
    print(f"sortbench / suite ({args.state}), medians of {args.runs} interleaved runs a side; "
          f"* within noise, ! differ (Mann-Whitney U, p < {ALPHA})")
    if args.runs < MIN_SAMPLES:
        print(f"note: {args.runs} runs a side, fewer than {MIN_SAMPLES}: a real difference may not reach "
              f"p < {ALPHA} and then shows as within noise")
    print("| routine | " + " | ".join(str(n) for n in sizes) + " |")
    print("|---|" + "---:|" * len(sizes))
    tally = {"agree": 0, "within noise": 0, "DIFFER": 0}
    details = []
    for r in ids:
        cells = []
        for n in sizes:
            if (r, n) not in ours or (r, n) not in theirs:
                cells.append("")
                continue
            ratio, v = verdict(ours[(r, n)], theirs[(r, n)])
            mark = {"agree": "", "within noise": "*", "DIFFER": "!"}[v]
            cells.append(f"{ratio:.2f}{mark}")
            if n >= 64:
                tally[v] += 1
                if v != "agree":
                    details.append((r, n, ours[(r, n)], theirs[(r, n)], ratio, v))
        print(f"| {r} | " + " | ".join(cells) + " |")
    for r, n, a, b, ratio, v in details:
        print(f"  {r:<14} {n:>8}  sortbench {min(a):10.3f}..{max(a):<10.3f} suite {min(b):10.3f}..{max(b):<10.3f}"
              f" us  ratio {ratio:.2f}  {v}")
    keys = [k for k in theirs if k[1] >= 64]
    within_cv = median(median(w for w in within[k] if w is not None) for k in keys) if args.repetitions > 1 else None
    print(f"spread of the suite at sizes >= 64, median over cells: cv within a process {percent(within_cv)} "
          f"({args.repetitions} repetitions), across processes {percent(median(cv(theirs[k]) for k in keys))}; "
          f"sortbench across processes {percent(median(cv(v) for k, v in ours.items() if k[1] >= 64))}")
    total = sum(tally.values())
    print(f"summary: {total} cells at sizes >= 64: {tally['agree']} agree within 5%, "
          f"{tally['within noise']} differ within noise, {tally['DIFFER']} differ beyond noise")


if __name__ == "__main__":
    run_tool(main)
