"""The paired figure is defined once: the ratio and interval that
sortbench-rounds stopped on, written in its file (of one process's rounds,
or of several processes'), are the ones the figures layer computes from the
same rounds, and the ones tools/ab.py and tools/paired_table.py print."""

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
from benchdata import load_rounds, median_ratio, processes_ratio  # noqa: E402

BUILD = Path(os.environ.get("SORTBENCH_BUILD", Path(__file__).resolve().parents[3] / "build" / "release"))


class OnePairedFigure(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.path, cls.three = (Path(cls.tmp.name) / f"rounds.{k}.json" for k in (1, 3))
        for path, processes in ((cls.path, 1), (cls.three, 3)):
            subprocess.run([str(BUILD / "sortbench-rounds"), "--group=std_sort,shell_sort", "--filter=^random/1000$",
                            "--min_rounds=12", "--rounds=12", "--round_ms=1", f"--processes={processes}",
                            f"--out={path}"], check=True, stderr=subprocess.DEVNULL)
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

    def test_over_processes_the_program_and_the_figures_layer_agree(self):
        doc = json.loads(self.three.read_text())
        written = doc["cases"][0]
        self.assertEqual((doc["processes"], written["rounds_per_process"]), (3, [12, 12, 12]))
        case = load_rounds(self.three)[1][0]
        pairs = case.pairs(1)
        self.assertEqual([len(a) for a, _ in pairs], [12, 12, 12])
        mine = processes_ratio(pairs)
        theirs = written["ratios"][1]
        self.assertEqual((mine.processes, theirs["processes"]), (3, 3))
        for got, want in zip([theirs["ratio"], *theirs["interval"]], [mine.ratio, mine.low, mine.high]):
            self.assertAlmostEqual(got / want, 1, places=4)
        # Two files merged are the processes of one run.
        merged = subprocess.run([str(BUILD / "sortbench-rounds"), f"--combine={self.path}", f"--combine={self.three}"],
                                capture_output=True, text=True, check=True).stdout
        both = json.loads(merged)["cases"][0]
        self.assertEqual(both["rounds_per_process"], [12, 12, 12, 12])
        again = processes_ratio([(a[:12], b[:12]) for a, b in load_rounds(self.path)[1][0].pairs(1)] + pairs)
        self.assertAlmostEqual(both["ratios"][1]["interval"][0] / again.low, 1, places=4)

    def test_processes_share_the_default_least_rounds(self):
        # At a width a few rounds reach, each of three processes stops soon
        # after its share of the 20 least rounds (7): a verdict costs about
        # one process's rounds, not three times them.
        out = Path(self.tmp.name) / "shared.json"
        subprocess.run([str(BUILD / "sortbench-rounds"), "--group=std_sort,shell_sort", "--filter=^random/1000$",
                        "--width=50", "--round_ms=1", "--processes=3", f"--out={out}"], check=True,
                       stderr=subprocess.DEVNULL)
        rounds = json.loads(out.read_text())["cases"][0]["rounds_per_process"]
        self.assertEqual(len(rounds), 3)
        self.assertTrue(all(7 <= r < 20 for r in rounds), rounds)

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
