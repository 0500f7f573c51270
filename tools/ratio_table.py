#!/usr/bin/env python3
"""Prints a Markdown table from the companion suite's JSON: for every
contender and pattern, its time relative to std_sort as the geometric mean
over the sizes of at least --min-size elements (1,000 by default) that both
ran. Below 1 is faster than std_sort; an empty cell was not run (capped).

Usage: tools/ratio_table.py FULL.json [--state warm|cold] [--min-size N]
"""

import argparse
import math

from benchdata import ToolError, load_benchmarks, run_tool, suite_figures, suite_order


def ratio_table(figures, contenders, patterns, min_size):
    table = {}
    for r in contenders:
        for p in patterns:
            logs = [math.log(t / figures[("std_sort", p, n)])
                    for (rr, pp, n), t in figures.items()
                    if rr == r and pp == p and n >= min_size and ("std_sort", p, n) in figures]
            if logs:
                table[(r, p)] = math.exp(sum(logs) / len(logs))
    return table


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("json")
    ap.add_argument("--state", choices=["warm", "cold"], default="warm")
    ap.add_argument("--min-size", type=int, default=1000)
    args = ap.parse_args()
    doc, runs = load_benchmarks(args.json)
    figures = suite_figures(runs, args.state)
    if not any(r == "std_sort" for r, _, _ in figures):
        raise ToolError("no std_sort results in the input: nothing to relate to")
    contenders, patterns = suite_order(doc, figures)
    table = ratio_table(figures, contenders, patterns, args.min_size)
    print("| contender | " + " | ".join(patterns) + " |")
    print("|---|" + "---:|" * len(patterns))
    for r in contenders:
        cells = [f"{table[(r, p)]:.2f}" if (r, p) in table else "" for p in patterns]
        print(f"| {r} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    run_tool(main)
