#!/usr/bin/python3
"""Turns a sortbench report (on standard input, Shift_JIS as written or
converted to UTF-8) into an SVG chart of nanoseconds per element against
array size, one line per routine.

Usage: build/release/sortbench | tools/chart.py /tmp/chart.svg [--build DIR]
Needs gnuplot (Debian: apt-get install gnuplot-nox).
"""

import sys
from pathlib import Path

from benchdata import ArgumentParser, build_dir, parse_report, routines, run_tool
from svgplot import Gnuplot, colour


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("output", type=Path)
    ap.add_argument("--build", help="build directory (default: the repository's build/release)")
    args = ap.parse_args()
    build = build_dir(args.build)
    sizes, _, rows = parse_report(sys.stdin.buffer.read(), build)
    labels = {r["id"]: r["label"].strip() for r in routines(build)}

    with Gnuplot(args.output, 820, 500) as g:
        plots = []
        for k, (routine, values) in enumerate(rows.items()):
            # microseconds per call * 1000 / elements = nanoseconds per element
            data = g.data((n, us * 1000 / n) for n, us in zip(sizes, values) if us)
            plots.append(f"'{data}' using 1:2 with linespoints lw 2 pt {k + 5} "
                         f"lc rgb '{colour(k)}' title '{labels[routine]}'")
        g.lines += [
            "set title 'sortbench: already-ascending input'",
            "set logscale x 10",
            "set logscale y 10",
            "set format x '%.0f'",
            # Room on the right for the last size label, 1000000.
            "set rmargin 6",
            f"set xrange [{min(sizes) * 0.8}:{max(sizes) * 1.25}]",
            "set xlabel 'array size (elements)'",
            "set ylabel 'nanoseconds per element'",
            "set key top left",
            "set grid",
            "plot " + ", ".join(plots),
        ]

if __name__ == "__main__":
    run_tool(main)
