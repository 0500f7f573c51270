#!/usr/bin/python3
"""Draws sortbench-counts' JSON as an SVG: comparisons / (n log2 n) against
array size for one pattern and element type, a line per contender that
compares elements.

Usage: build/release/sortbench-counts --format=json | tools/counts_chart.py OUT.svg
           [--pattern random] [--type int32]
Needs gnuplot (tools/install-deps.sh --chart).
"""

import sys
from pathlib import Path

from benchdata import ArgumentParser, ToolError, load_counts, run_tool
from svgplot import SIZE_TICS, Gnuplot, colour


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("output", type=Path)
    ap.add_argument("--pattern", default="random")
    ap.add_argument("--type", default="int32")
    args = ap.parse_args()
    series = {}
    for r in load_counts(sys.stdin.buffer):
        if r["pattern"] == args.pattern and r["type"] == args.type and r["comparisons_per_n_log2_n"] is not None:
            series.setdefault(r["contender"], []).append((r["size"], r["comparisons_per_n_log2_n"]))
    if not series:
        raise ToolError(f"no counted {args.type} results on {args.pattern} in the input")
    sizes = [n for points in series.values() for n, _ in points]
    with Gnuplot(args.output, 820, 480) as g:
        plots = [f"'{g.data(sorted(points))}' using 1:2 with linespoints lw 2 pt {k + 4} "
                 f"lc rgb '{colour(k)}' title '{contender}'"
                 for k, (contender, points) in enumerate(series.items())]
        g.lines += [
            f"set title 'sortbench-counts: comparisons per n log2 n, {args.pattern} {args.type}'",
            "set logscale x 10",
            SIZE_TICS,
            f"set xrange [{min(sizes) * 0.8}:{max(sizes) * 1.25}]",
            "set yrange [0:*]",
            "set xlabel 'array size (elements)'",
            "set ylabel 'comparisons / (n log2 n)'",
            "set key outside right",
            "set grid",
            "plot " + ", ".join(plots),
        ]

if __name__ == "__main__":
    run_tool(main)
