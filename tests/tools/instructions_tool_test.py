"""The instruction gate's verdict on hand-made counts."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
from instructions import compare  # noqa: E402

BASELINE = {"shell_sort/random/1024": 100_000, "c_qsort/random/1024": 200_000}


class Gate(unittest.TestCase):
    def verdict(self, factor):
        counts = {case: round(n * factor) for case, n in BASELINE.items()}
        return compare(BASELINE, counts)[1]

    def test_a_move_of_three_percent_either_way_fails(self):
        self.assertEqual(self.verdict(1.03), 2)
        self.assertEqual(self.verdict(0.97), 2)

    def test_a_move_of_one_percent_passes(self):
        self.assertEqual(self.verdict(1.01), 0)
        self.assertEqual(self.verdict(0.99), 0)

    def test_a_case_new_or_gone_fails(self):
        self.assertEqual(compare(BASELINE, {"shell_sort/random/1024": 100_000})[1], 1)
        self.assertEqual(compare(BASELINE, {**BASELINE, "x/random/1": 5})[1], 1)


if __name__ == "__main__":
    unittest.main()
