#!/usr/bin/env python3
"""Turns a sortbench report (Shift_JIS CSV on standard input) into an SVG
chart of nanoseconds per element against array size, one line per routine.

Usage: build/release/sortbench | tools/chart.py chart.svg
Needs gnuplot (Debian: apt-get install gnuplot-nox).
"""

import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import sortbench_report  # noqa: E402


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    if shutil.which("gnuplot") is None:
        sys.exit("chart.py: gnuplot is missing; install it with: apt-get install gnuplot-nox")
    sizes, rows = sortbench_report.parse(sys.stdin.buffer.read())
    labels = {routine: label for label, routine in sortbench_report.ROUTINE_IDS.items()}

    with tempfile.TemporaryDirectory() as tmp:
        plots = []
        for routine, values in rows.items():
            data = Path(tmp) / f"{routine}.dat"
            # microseconds per call * 1000 / elements = nanoseconds per element
            data.write_text("".join(f"{n} {us * 1000 / n}\n" for n, us in zip(sizes, values) if us))
            plots.append(f"'{data}' using 1:2 with linespoints title '{labels[routine]}'")
        script = "\n".join([
            "set terminal svg size 800,500 dynamic font 'sans,12' background rgb 'white' noenhanced",
            f"set output '{sys.argv[1]}'",
            "set title 'sortbench: already-ascending input'",
            "set logscale x 10",
            "set logscale y 10",
            "set format x '%.0f'",
            "set xlabel 'array size (elements)'",
            "set ylabel 'nanoseconds per element'",
            "set key top left",
            "set grid",
            "plot " + ", ".join(plots),
        ])
        subprocess.run(["gnuplot"], input=script.encode(), check=True)


if __name__ == "__main__":
    main()
