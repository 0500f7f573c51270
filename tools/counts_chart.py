#!/usr/bin/env python3
"""Draws sortbench-counts' JSON as an SVG: comparisons / (n log2 n) against
array size for one pattern and element type, a line per contender that
compares elements.

Usage: build/release/sortbench-counts --format=json | tools/counts_chart.py OUT.svg
           [--pattern random] [--type int32]
Needs gnuplot (tools/install-deps.sh --chart).
"""

import argparse
import json
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

from benchdata import ToolError, run_tool

COLOURS = ["#0072B2", "#D55E00", "#009E73", "#CC79A7", "#000000", "#E69F00", "#56B4E9", "#882255"]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("output", type=Path)
    ap.add_argument("--pattern", default="random")
    ap.add_argument("--type", default="int32")
    args = ap.parse_args()
    if shutil.which("gnuplot") is None:
        raise ToolError("gnuplot is missing; install it with: tools/install-deps.sh --chart")
    try:
        records = json.load(sys.stdin)
        series = {}
        for r in records:
            if r["pattern"] == args.pattern and r["type"] == args.type and r["comparisons_per_n_log2_n"] is not None:
                series.setdefault(r["contender"], []).append((r["size"], r["comparisons_per_n_log2_n"]))
    except (json.JSONDecodeError, TypeError, KeyError) as e:
        raise ToolError(f"standard input is not sortbench-counts JSON ({e})") from None
    if not series:
        raise ToolError(f"no counted {args.type} results on {args.pattern} in the input")
    with tempfile.TemporaryDirectory() as tmp:
        plots = []
        for k, (contender, points) in enumerate(series.items()):
            data = Path(tmp) / f"{contender}.dat"
            data.write_text("".join(f"{n} {v}\n" for n, v in sorted(points)))
            plots.append(f"'{data}' using 1:2 with linespoints lw 2 pt {k + 4} "
                         f"lc rgb '{COLOURS[k % len(COLOURS)]}' title '{contender}'")
        sizes = [n for points in series.values() for n, _ in points]
        script = "\n".join([
            "set terminal svg size 820,480 dynamic font 'sans,12' background rgb 'white' noenhanced",
            f"set output '{args.output}'",
            f"set title 'sortbench-counts: comparisons per n log2 n, {args.pattern} {args.type}'",
            "set logscale x 10",
            "set xtics ('10' 10, '100' 100, '1k' 1000, '10k' 10000, '100k' 100000, '1M' 1000000)",
            f"set xrange [{min(sizes) * 0.8}:{max(sizes) * 1.25}]",
            "set yrange [0:*]",
            "set xlabel 'array size (elements)'",
            "set ylabel 'comparisons / (n log2 n)'",
            "set key outside right",
            "set grid",
            "plot " + ", ".join(plots),
        ])
        subprocess.run(["gnuplot"], input=script.encode(), check=True)


if __name__ == "__main__":
    run_tool(main)
