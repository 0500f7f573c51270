#!/usr/bin/env python3
"""Draws the companion suite's JSON as one SVG with a panel per pattern:
nanoseconds per element against array size, log-log, a line per contender.

Usage: tools/pattern_chart.py FULL.json OUT.svg [--state warm|cold]
Needs gnuplot (tools/install-deps.sh --chart).
"""

import argparse
import math
import shutil
import subprocess
import tempfile
from pathlib import Path

from benchdata import ToolError, load_benchmarks, run_tool, suite_figures, suite_order

# Okabe-Ito's colours, distinct on white and for the common colour-vision
# deficiencies, then three dark ones; the point shapes differ as well.
COLOURS = ["#0072B2", "#D55E00", "#009E73", "#CC79A7", "#000000", "#E69F00",
           "#56B4E9", "#882255", "#666666", "#8C564B"]
COLUMNS = 4


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("json")
    ap.add_argument("output", type=Path)
    ap.add_argument("--state", choices=["warm", "cold"], default="warm")
    args = ap.parse_args()
    if shutil.which("gnuplot") is None:
        raise ToolError("gnuplot is missing; install it with: tools/install-deps.sh --chart")
    doc, runs = load_benchmarks(args.json)
    figures = suite_figures(runs, args.state)
    contenders, patterns = suite_order(doc, figures)
    sizes = sorted({n for _, _, n in figures})
    rows = math.ceil((len(patterns) + 1) / COLUMNS)  # one cell more for the legend

    with tempfile.TemporaryDirectory() as tmp:
        script = [
            f"set terminal svg size {COLUMNS * 340},{rows * 280} dynamic font 'sans,11' "
            "background rgb 'white' noenhanced",
            f"set output '{args.output}'",
            f"set multiplot layout {rows},{COLUMNS} title 'sortbench-patterns ({args.state}): "
            "nanoseconds per element against array size'",
            "set logscale xy 10",
            "set xtics ('10' 10, '100' 100, '1k' 1000, '10k' 10000, '100k' 100000, '1M' 1000000)",
            "set format y '%g'",
            f"set xrange [{min(sizes) * 0.7}:{max(sizes) * 1.4}]",
            "set grid",
            "set lmargin 7", "set rmargin 3",
            "unset key",
        ]
        styles = [f"lw 1.5 pt {k % 13 + 1} ps 0.5 lc rgb '{COLOURS[k % len(COLOURS)]}'"
                  for k in range(len(contenders))]
        for p in patterns:
            plots = []
            for k, r in enumerate(contenders):
                points = sorted((n, t / n) for (rr, pp, n), t in figures.items() if rr == r and pp == p)
                if not points:
                    continue
                data = Path(tmp) / f"{r}.{p}.dat"
                data.write_text("".join(f"{n} {v}\n" for n, v in points))
                plots.append(f"'{data}' using 1:2 with linespoints {styles[k]} title '{r}'")
            script += [f"set title '{p}'", "plot " + ", ".join(plots)]
        # The legend in a panel of its own: the same styles, drawn off-range.
        script += ["unset title", "unset border", "unset tics", "unset grid", "unset logscale",
                   "set xrange [0:1]", "set yrange [0:1]", "set key center center Left reverse",
                   "plot " + ", ".join(f"NaN with linespoints {styles[k]} title '{r}'"
                                       for k, r in enumerate(contenders)),
                   "unset multiplot"]
        subprocess.run(["gnuplot"], input="\n".join(script).encode(), check=True)


if __name__ == "__main__":
    run_tool(main)
