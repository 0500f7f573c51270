"""The paired figure is defined once: the ratio and interval that
sortbench-rounds stopped on, written in its file, are the ones the figures
layer computes from the same rounds, and the ones tools/ab.py and
tools/paired_table.py print."""

import json
import os
import re
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

TOOLS = Path(__file__).resolve().parents[3] / "tools"
sys.path.insert(0, str(TOOLS))
from benchdata import load_rounds, median_ratio  # noqa: E402

BUILD = Path(os.environ.get("SORTBENCH_BUILD", Path(__file__).resolve().parents[3] / "build" / "release"))


class OnePairedFigure(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.path = Path(cls.tmp.name) / "rounds.json"
        subprocess.run([str(BUILD / "sortbench-rounds"), "--group=std_sort,shell_sort", "--filter=^random/1000$",
                        "--min_rounds=12", "--rounds=12", "--round_ms=1", f"--out={cls.path}"],
                       check=True, stderr=subprocess.DEVNULL)
        cls.doc = json.loads(cls.path.read_text())

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_the_stopping_rule_and_the_figures_layer_agree(self):
        _, cases = load_rounds(self.path)
        written = self.doc["cases"][0]
        self.assertIsNone(written["ratios"][0])  # the reference
        mine = median_ratio(cases[0].ns[0], cases[0].ns[1])
        theirs = written["ratios"][1]
        self.assertAlmostEqual(theirs["ratio"] / mine.ratio, 1, places=4)
        self.assertAlmostEqual(theirs["interval"][0] / mine.low, 1, places=4)
        self.assertAlmostEqual(theirs["interval"][1] / mine.high, 1, places=4)
        self.assertAlmostEqual(written["widest"], mine.half_width, places=4)

    def test_the_tools_print_that_figure(self):
        r = self.doc["cases"][0]["ratios"][1]
        want = [r["ratio"], *r["interval"]]
        ab = subprocess.run([sys.executable, str(TOOLS / "ab.py"), "--load", str(self.path)], capture_output=True,
                            text=True, check=True).stdout
        row = re.search(r"\| ([\d.]+) \| ([\d.]+)\.\.([\d.]+) \|", ab)
        for got, expected in zip(map(float, row.groups()), want):
            self.assertAlmostEqual(got, expected, delta=1e-4)
        table = subprocess.run([sys.executable, str(TOOLS / "paired_table.py"), str(self.path)], capture_output=True,
                               text=True, check=True).stdout
        row = re.search(r"\| shell_sort \| ([\d.]+) \| ([\d.]+)\.\.([\d.]+) \|", table)
        for got, expected in zip(map(float, row.groups()), want):
            self.assertAlmostEqual(got, expected, delta=1e-3)


if __name__ == "__main__":
    unittest.main()
