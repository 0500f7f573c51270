"""tools/report.py on hand-made input: what it refuses, and the verdict it
computes (checked by hand)."""

import json
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

TOOLS = Path(__file__).resolve().parent.parent / "tools"
sys.path.insert(0, str(TOOLS))
from report import Run, verdict  # noqa: E402


def suite_json(medians):
    """A suite JSON file with one median aggregate per {name: ns}."""
    return {"context": {"contenders": "std_sort,a,b", "patterns": "random,ascending"},
            "benchmarks": [{"name": f"{n}/manual_time_median", "run_name": f"{n}/manual_time",
                            "run_type": "aggregate", "aggregate_name": "median", "real_time": ns,
                            "cpu_time": ns, "time_unit": "ns"} for n, ns in medians.items()]}


class Refusals(unittest.TestCase):
    def run_report(self, content):
        with tempfile.TemporaryDirectory() as tmp:
            path = Path(tmp) / "in.json"
            path.write_text(content)
            return subprocess.run([str(TOOLS / "report.py"), str(path), "-o", f"{tmp}/out.html"],
                                  capture_output=True, text=True)

    def test_bad_input_gives_one_line_and_status_one(self):
        for content in ["", "{not json", "[]", json.dumps({"benchmarks": []}),
                        json.dumps({"benchmarks": [{"run_name": "BM_other", "real_time": 1, "time_unit": "ns"}]})]:
            with self.subTest(content=content[:30]):
                r = self.run_report(content)
                self.assertEqual(r.returncode, 1)
                self.assertEqual(len(r.stderr.strip().splitlines()), 1, r.stderr)
                self.assertNotIn("Traceback", r.stderr)


class Verdict(unittest.TestCase):
    def test_best_over_patterns_and_fastest_on_random(self):
        # std_sort 100 ns everywhere; a half of it on both patterns (0.50);
        # b a quarter on random but eight times on ascending: sqrt(0.25 * 8) = 1.41.
        medians = {}
        for n in (1000, 10000):
            for p in ("random", "ascending"):
                medians[f"std_sort/{p}/{n}"] = 100.0
                medians[f"a/{p}/{n}"] = 50.0
            medians[f"b/random/{n}"] = 25.0
            medians[f"b/ascending/{n}"] = 800.0
        medians["a/random/10/kv16"] = 1.0  # below 1,000 elements: not counted
        with tempfile.TemporaryDirectory() as tmp:
            path = Path(tmp) / "run.json"
            path.write_text(json.dumps(suite_json(medians)))
            sentences = verdict(Run(path))
        self.assertEqual(sentences, [
            "On int32, a is the best over all 2 patterns at 1,000 elements and more (0.50 of std_sort's time, "
            "geometric mean); on random input at 10,000 elements the fastest is b (25 ns), and the runner-up "
            "over all patterns is std_sort (1.00)."])


if __name__ == "__main__":
    unittest.main()
