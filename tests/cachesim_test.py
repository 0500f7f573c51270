"""The cache and branch simulation on a tiny case: the same counts on two
runs (the mispredictions to within one in a thousand), and what the
simulated predictor must see."""

import json
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

TOOL = Path(__file__).resolve().parent.parent / "tools" / "cachesim.py"


def simulate(patterns):
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "sim.json"
        r = subprocess.run([sys.executable, str(TOOL), "--contenders", "shell_sort,std_sort", "--patterns", patterns,
                            "--sizes", "2000", "--json", str(out)], capture_output=True, text=True, timeout=300)
        if r.returncode != 0:
            raise AssertionError(r.stderr)
        return {(x["contender"], x["pattern"]): x for x in json.loads(out.read_text())}


class CacheSimulation(unittest.TestCase):
    def test_counts_are_deterministic_and_consistent(self):
        first, second = simulate("random,ascending"), simulate("random,ascending")
        self.assertEqual(first.keys(), second.keys())
        for key, r in first.items():
            with self.subTest(case=key):
                # Exact, except the simulated mispredictions: with the machine
                # busy beside it, valgrind has been seen to count one more or
                # one fewer in 10,000.
                again = second[key]
                self.assertEqual({k: v for k, v in r.items() if k != "mispredicted"},
                                 {k: v for k, v in again.items() if k != "mispredicted"})
                self.assertLessEqual(abs(r["mispredicted"] - again["mispredicted"]), 1 + r["mispredicted"] // 1000)
                self.assertGreater(r["instructions"], r["branches"])
                self.assertLessEqual(r["mispredicted"], r["branches"])
                self.assertGreater(r["branches"], 2000)  # the sort's call is counted, not zero
        # Shell sort's inner loop on ascending input always exits at once: the
        # predictor learns it; on random input it cannot.
        self.assertLess(first[("shell_sort", "ascending")]["mispredicted"] * 10,
                        first[("shell_sort", "random")]["mispredicted"])


if __name__ == "__main__":
    unittest.main()
