#!/usr/bin/env python3
"""Turns a sortbench report (on standard input, Shift_JIS as written or
converted to UTF-8) into an SVG chart of nanoseconds per element against
array size, one line per routine.

Usage: build/release/sortbench | tools/chart.py /tmp/chart.svg [--build DIR]
Needs gnuplot (Debian: apt-get install gnuplot-nox).
"""

import argparse
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

from benchdata import ToolError, build_dir, parse_report, routines, run_tool

# Distinct on white and for the common colour-vision deficiencies (Okabe-Ito),
# without the pale yellow that gnuplot's default set ends with.
COLOURS = ["#0072B2", "#D55E00", "#009E73", "#CC79A7", "#000000", "#E69F00", "#56B4E9", "#8C564B"]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("output", type=Path)
    ap.add_argument("--build", help="build directory (default: the repository's build/release)")
    args = ap.parse_args()
    if shutil.which("gnuplot") is None:
        raise ToolError("gnuplot is missing; install it with: tools/install-deps.sh --chart")
    build = build_dir(args.build)
    sizes, _, rows = parse_report(sys.stdin.buffer.read(), build)
    labels = {r["id"]: r["label"].strip() for r in routines(build)}

    with tempfile.TemporaryDirectory() as tmp:
        plots = []
        for k, (routine, values) in enumerate(rows.items()):
            data = Path(tmp) / f"{routine}.dat"
            # microseconds per call * 1000 / elements = nanoseconds per element
            data.write_text("".join(f"{n} {us * 1000 / n}\n" for n, us in zip(sizes, values) if us))
            plots.append(f"'{data}' using 1:2 with linespoints lw 2 pt {k + 5} "
                         f"lc rgb '{COLOURS[k % len(COLOURS)]}' title '{labels[routine]}'")
        script = "\n".join([
            "set terminal svg size 820,500 dynamic font 'sans,12' background rgb 'white' noenhanced",
            f"set output '{args.output}'",
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
        ])
        subprocess.run(["gnuplot"], input=script.encode(), check=True)


if __name__ == "__main__":
    run_tool(main)
