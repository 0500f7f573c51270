#!/usr/bin/env python3
"""Prints a Markdown table from the companion suite's JSON: for every
contender and pattern, its time relative to std_sort as the geometric mean
over the sizes of at least --min-size elements (1,000 by default) that both
ran. Below 1 is faster than std_sort; an empty cell was not run (capped).

With --type, the figures of that element type (int32 by default); with
--types, one summary row per type and contender: the geometric mean of its
ratios over the patterns that type ran.

Usage: tools/ratio_table.py FULL.json [--state warm|cold] [--min-size N] [--type T | --types]
"""

import argparse
import math

from benchdata import TYPES, ToolError, load_benchmarks, run_tool, suite_figures, suite_order


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
    ap.add_argument("--type", default="int32", choices=("int32",) + TYPES)
    ap.add_argument("--types", action="store_true", help="one summary row per type and contender")
    args = ap.parse_args()
    doc, runs = load_benchmarks(args.json)
    if args.types:
        print_type_summary(doc, runs, args)
        return
    figures = suite_figures(runs, args.state, args.type)
    if not any(r == "std_sort" for r, _, _ in figures):
        raise ToolError("no std_sort results in the input: nothing to relate to")
    contenders, patterns = suite_order(doc, figures)
    table = ratio_table(figures, contenders, patterns, args.min_size)
    print("| contender | " + " | ".join(patterns) + " |")
    print("|---|" + "---:|" * len(patterns))
    for r in contenders:
        cells = [f"{table[(r, p)]:.2f}" if (r, p) in table else "" for p in patterns]
        print(f"| {r} | " + " | ".join(cells) + " |")


def print_type_summary(doc, runs, args):
    """Rows: contenders; columns: types; cells: the geometric mean over the
    patterns of the per-pattern ratios (patterns capped for a contender are
    left out for it), "-" where the contender does not take the type."""
    per_type = {}
    order = None
    for t in ("int32",) + TYPES:
        try:
            figures = suite_figures(runs, args.state, t)
        except ToolError:
            continue
        contenders, patterns = suite_order(doc, figures)
        order = order or contenders
        table = ratio_table(figures, contenders, patterns, args.min_size)
        for r in contenders:
            logs = [math.log(table[(r, p)]) for p in patterns if (r, p) in table]
            if logs:
                per_type[(r, t)] = math.exp(sum(logs) / len(logs))
    types = [t for t in ("int32",) + TYPES if any(k[1] == t for k in per_type)]
    if not types:
        raise ToolError("no results with std_sort to relate to")
    print("| contender | " + " | ".join(types) + " |")
    print("|---|" + "---:|" * len(types))
    for r in order:
        cells = [f"{per_type[(r, t)]:.2f}" if (r, t) in per_type else "-" for t in types]
        print(f"| {r} | " + " | ".join(cells) + " |")

if __name__ == "__main__":
    run_tool(main)
