#!/usr/bin/env python3
"""Runs sortbench and the companion suite's ascending benchmarks and prints,
per routine and size, the ratio of the two figures for microseconds per call
(sortbench / suite). Each side is the median of --runs runs: one sortbench
cell is a single measurement, and on a shared machine single measurements of
small arrays vary by a fifth from run to run.

Usage: tools/crosscheck.py [BUILD_DIR] [--runs N] [--min-time SECONDS]
BUILD_DIR defaults to build/release (made by `make all`).
"""

import argparse
import json
import statistics
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import sortbench_report  # noqa: E402

TIME_UNITS_PER_US = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}


def sortbench_medians(build: Path, runs: int):
    sizes, samples = None, {}
    for _ in range(runs):
        report = subprocess.run([str(build / "sortbench")], check=True, capture_output=True).stdout
        sizes, rows = sortbench_report.parse(report)
        for routine, values in rows.items():
            samples.setdefault(routine, []).append(values)
    medians = {}
    for routine, runs_values in samples.items():
        medians[routine] = [None if None in cell else statistics.median(cell)
                            for cell in zip(*runs_values)]
    return sizes, medians


def suite_ascending(build: Path, runs: int, min_time: float):
    out = subprocess.run(
        [str(build / "sortbench-patterns"), "--benchmark_filter=/ascending/",
         "--benchmark_format=json", f"--benchmark_min_time={min_time}",
         f"--benchmark_repetitions={runs}", "--benchmark_report_aggregates_only=true"],
        check=True, capture_output=True).stdout
    figures = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("error_occurred") or b.get("aggregate_name", "median") != "median":
            continue
        routine, _, size = b["run_name"].split("/")[:3]
        figures[(routine, int(size))] = b["real_time"] * TIME_UNITS_PER_US[b["time_unit"]]
    return figures


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build", nargs="?", default="build/release", type=Path)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--min-time", type=float, default=0.2)
    args = ap.parse_args()

    sizes, rows = sortbench_medians(args.build, args.runs)
    suite = suite_ascending(args.build, args.runs, args.min_time)

    # A Markdown table of the ratios; * marks sizes of 64 or more that differ
    # by more than 10%. The figures behind each marked cell follow it.
    print("| routine | " + " | ".join(str(n) for n in sizes) + " |")
    print("|---|" + "---:|" * len(sizes))
    outside = []
    for routine, values in rows.items():
        cells = []
        for size, ours in zip(sizes, values):
            theirs = suite.get((routine, size))
            if ours is None or theirs is None:
                cells.append("")
                continue
            ratio = ours / theirs
            mark = ""
            if size >= 64 and abs(ratio - 1) > 0.10:
                mark = "*"
                outside.append((routine, size, ours, theirs, ratio))
            cells.append(f"{ratio:.2f}{mark}")
        print(f"| {routine} | " + " | ".join(cells) + " |")
    print(f"\n{len(outside)} figures of size 64 or more differ by more than 10%"
          + (" (microseconds per call, sortbench / suite):" if outside else ""))
    for routine, size, ours, theirs, ratio in outside:
        print(f"  {routine:<14} {size:>8} {ours:>11.3f} {theirs:>11.3f} {ratio:>6.2f}")


if __name__ == "__main__":
    main()
