"""What the static SVG charts in tools/ share: gnuplot, a colour set that
reads for the common colour-vision deficiencies, and data files that live as
long as the plot is drawn."""

import shutil
import subprocess
import tempfile
from pathlib import Path

from benchdata import ToolError

# Okabe-Ito's colours, distinct on white and for the common colour-vision
# deficiencies, then three dark ones.
COLOURS = ["#0072B2", "#D55E00", "#009E73", "#CC79A7", "#000000", "#E69F00",
           "#56B4E9", "#882255", "#666666", "#8C564B"]

SIZE_TICS = "set xtics ('10' 10, '100' 100, '1k' 1000, '10k' 10000, '100k' 100000, '1M' 1000000)"


def colour(k: int) -> str:
    return COLOURS[k % len(COLOURS)]


class Gnuplot:
    """with Gnuplot(OUT.svg, width, height) as g: g.lines += [...]; g.data(points)
    returns a file name for a plot command; the chart is drawn on leaving."""

    def __init__(self, output: Path, width: int, height: int, font_size: int = 12):
        if shutil.which("gnuplot") is None:
            raise ToolError("gnuplot is missing; install it with: tools/install-deps.sh --chart")
        self.lines = [f"set terminal svg size {width},{height} dynamic font 'sans,{font_size}' "
                      "background rgb 'white' noenhanced",
                      f"set output '{output}'"]
        self._tmp = tempfile.TemporaryDirectory()
        self._files = 0

    def data(self, points) -> str:
        self._files += 1
        path = Path(self._tmp.name) / f"{self._files}.dat"
        path.write_text("".join(f"{x} {y}\n" for x, y in points))
        return str(path)

    def __enter__(self):
        return self

    def __exit__(self, kind, value, traceback):
        try:
            if kind is None:
                subprocess.run(["gnuplot"], input="\n".join(self.lines).encode(), check=True)
        finally:
            self._tmp.cleanup()
