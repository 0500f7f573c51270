#!/usr/bin/python3
"""Draws the companion suite's JSON as one SVG with a panel per pattern:
nanoseconds per element against array size, log-log, a line per contender.

Usage: tools/pattern_chart.py FULL.json OUT.svg [--state warm|cold] [--type T]
Needs gnuplot (tools/install-deps.sh --chart).
"""

import math
from pathlib import Path

from benchdata import ArgumentParser, SuiteRun, ToolError, run_tool
from svgplot import SIZE_TICS, Gnuplot, colour

COLUMNS = 4


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("json")
    ap.add_argument("output", type=Path)
    ap.add_argument("--state", choices=["warm", "cold"], default="warm")
    ap.add_argument("--type", default="int32")
    args = ap.parse_args()
    run = SuiteRun(args.json)
    if args.type not in run.types:
        raise ToolError(f"{run.path}: no type {args.type!r}; it has {', '.join(run.types)}")
    figures = run.require(run.values(args.type, args.state), f"{args.state} {args.type}")
    contenders = [c for c in run.contenders if any(k[0] == c for k in figures)]
    patterns = [p for p in run.patterns if any(k[1] == p for k in figures)]
    sizes = sorted({n for _, _, n in figures})
    rows = math.ceil((len(patterns) + 1) / COLUMNS)  # one cell more for the legend

    with Gnuplot(args.output, COLUMNS * 340, rows * 280, font_size=11) as g:
        g.lines += [
            f"set multiplot layout {rows},{COLUMNS} title 'sortbench-patterns ({args.type}, {args.state}): "
            "nanoseconds per element against array size'",
            "set logscale xy 10",
            SIZE_TICS,
            "set format y '%g'",
            f"set xrange [{min(sizes) * 0.7}:{max(sizes) * 1.4}]",
            "set grid",
            "set lmargin 7", "set rmargin 3",
            "unset key",
        ]
        # The point shapes differ as well as the colours.
        styles = [f"lw 1.5 pt {k % 13 + 1} ps 0.5 lc rgb '{colour(k)}'" for k in range(len(contenders))]
        for p in patterns:
            plots = []
            for k, r in enumerate(contenders):
                points = sorted((n, t / n) for (rr, pp, n), t in figures.items() if rr == r and pp == p)
                if points:
                    plots.append(f"'{g.data(points)}' using 1:2 with linespoints {styles[k]} title '{r}'")
            g.lines += [f"set title '{p}'", "plot " + ", ".join(plots)]
        # The legend in a panel of its own: the same styles, drawn off-range.
        g.lines += ["unset title", "unset border", "unset tics", "unset grid", "unset logscale",
                    "set xrange [0:1]", "set yrange [0:1]", "set key center center Left reverse",
                    "plot " + ", ".join(f"NaN with linespoints {styles[k]} title '{r}'"
                                        for k, r in enumerate(contenders)),
                    "unset multiplot"]

if __name__ == "__main__":
    run_tool(main)
