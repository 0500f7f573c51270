#!/usr/bin/env python3
"""Prints a Markdown table of the companion suite's random-input results as
ratios to std::sort (time per call; above 1 is slower than std::sort).

Usage: build/release/sortbench-patterns --benchmark_filter=/random/ \\
           --benchmark_format=json | tools/random_ratios.py
"""

import sys

from benchdata import ToolError, load_benchmarks, run_tool, split_name


def main():
    if len(sys.argv) > 1:
        sys.exit(__doc__)
    times = {}
    for b in load_benchmarks(sys.stdin.buffer)[1]:
        if b.get("error_occurred") or b.get("run_type") == "aggregate":
            continue
        routine, pattern, size, rest = split_name(b["run_name"])
        if pattern == "random" and "cold" not in rest:
            times[(routine, size)] = b["real_ns"]
    if not times:
        raise ToolError("no random-input results in the input")
    sizes = sorted({s for _, s in times})
    routines = [r for r in dict.fromkeys(r for r, _ in times) if r != "std_sort"]
    print("| routine | " + " | ".join(str(s) for s in sizes) + " |")
    print("|---|" + "---:|" * len(sizes))
    for r in routines:
        cells = []
        for s in sizes:
            base = times.get(("std_sort", s))
            cells.append(f"{times[(r, s)] / base:.2f}" if (r, s) in times and base else "")
        print(f"| {r} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    run_tool(main)
