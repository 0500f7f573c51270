"""Every tool in tools/, fed each kind of bad input, says what is wrong in one
line naming the input, with status 1 and no traceback."""

import json
import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

TOOLS = Path(__file__).resolve().parents[2] / "tools"

OTHER_PROGRAM = {"benchmarks": [{"name": "BM_Sort/8", "run_name": "BM_Sort/8", "run_type": "iteration",
                                 "real_time": 5, "time_unit": "ns"}]}
ONE = {"name": "pdqsort/random/100/manual_time", "run_name": "pdqsort/random/100/manual_time",
       "run_type": "iteration", "real_time": 5, "time_unit": "ns"}

# A suite result file, each way it can be wrong, and what the line says.
BAD_RUNS = {
    "empty": ("", "empty"),
    "not JSON": ("{benchmarks", "not JSON"),
    "no benchmarks": (json.dumps({"context": {}}), "no \"benchmarks\" list"),
    "no entries": (json.dumps({"benchmarks": []}), "no benchmarks"),
    "entry without run_name": (json.dumps({"benchmarks": [{"name": "x", "real_time": 1}]}), "no run_name"),
    "aggregate without its name": (json.dumps({"benchmarks": [{**ONE, "run_type": "aggregate"}]}),
                                   "without an aggregate_name"),
    "entry without a time": (json.dumps({"benchmarks": [{k: v for k, v in ONE.items() if k != "real_time"}]}),
                             "no time"),
    "another program's run": (json.dumps(OTHER_PROGRAM), "not a sortbench-patterns benchmark"),
}

# The tools that read a suite result file, with the arguments around it.
FILE_TOOLS = {
    "ratio_table.py": lambda f, tmp: [f],
    "threads_table.py": lambda f, tmp: [f],
    "pattern_chart.py": lambda f, tmp: [f, f"{tmp}/out.svg"],
    "report.py": lambda f, tmp: [f, "-o", f"{tmp}/out.html"],
}


class BadInput(unittest.TestCase):
    def run_tool(self, tool, args, stdin=""):
        return subprocess.run([str(TOOLS / tool), *args], input=stdin, capture_output=True, text=True, timeout=60,
                              env={**os.environ, "SORTBENCH_BUILD": os.environ.get("SORTBENCH_BUILD", "/nonexistent")})

    def assert_one_line(self, r, *words):
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertNotIn("Traceback", r.stderr)
        lines = r.stderr.strip().splitlines()
        self.assertEqual(len(lines), 1, r.stderr)
        for w in words:
            self.assertIn(w, lines[0])

    def test_suite_files(self):
        with tempfile.TemporaryDirectory() as tmp:
            for tool, args in FILE_TOOLS.items():
                for what, (content, says) in BAD_RUNS.items():
                    with self.subTest(tool=tool, input=what):
                        path = Path(tmp) / "in.json"
                        path.write_text(content)
                        self.assert_one_line(self.run_tool(tool, args(str(path), tmp)), str(path), says)
                with self.subTest(tool=tool, input="missing file"):
                    self.assert_one_line(self.run_tool(tool, args(f"{tmp}/missing.json", tmp)), "missing.json")

    def test_counts_and_reports_on_standard_input(self):
        records = [{"contender": "x", "type": "int32", "pattern": "random", "size": 10}]
        with tempfile.TemporaryDirectory() as tmp:
            for what, content in {"empty": "", "not JSON": "[{", "not a list": "{}",
                                  "records without counts": json.dumps(records)}.items():
                with self.subTest(tool="counts_chart.py", input=what):
                    self.assert_one_line(self.run_tool("counts_chart.py", [f"{tmp}/c.svg"], content), "standard input")
            for what, content in {"empty": "", "not a report": "shell sort, 1, 2\n"}.items():
                with self.subTest(tool="chart.py", input=what):
                    self.assert_one_line(self.run_tool("chart.py", [f"{tmp}/c.svg"], content), "standard input")

    def test_rounds_files(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = Path(tmp) / "rounds.json"
            for what, content in {"empty": "", "not JSON": "{", "no group": "{}",
                                  "a group of three": json.dumps({"group": ["a", "b", "c"], "cases": []}),
                                  "times missing": json.dumps({"group": ["a", "b"],
                                                               "cases": [{"case": "random/10", "ns_per_call": [[1]]}]})
                                  }.items():
                with self.subTest(input=what):
                    path.write_text(content)
                    self.assert_one_line(self.run_tool("ab.py", ["--load", str(path)]), str(path))

    def test_bad_regex_and_bad_arguments(self):
        self.assert_one_line(self.run_tool("processes.py", ["--benchmark", "("]), "not a regular expression", "'('")
        self.assert_one_line(self.run_tool("crosscheck.py", ["--runs", "x"]), "--runs")
        self.assert_one_line(self.run_tool("ratio_table.py", []), "json")
        self.assert_one_line(self.run_tool("wall_ratio.py", ["/bin/true", "--rounds", "1"]), "/bin/true")
        with tempfile.TemporaryDirectory() as tmp:
            run = Path(tmp) / "run.json"
            run.write_text(json.dumps({"benchmarks": [ONE]}))
            robustness = Path(tmp) / "robustness.json"
            robustness.write_text(json.dumps([{"contender": "x"}]))
            self.assert_one_line(self.run_tool("report.py", [str(run), "--robustness", str(robustness), "-o",
                                                             f"{tmp}/r.html"]), str(robustness))
            certificate = Path(tmp) / "certificate.json"
            certificate.write_text(json.dumps({"certificate": [{"contender": "x"}]}))
            self.assert_one_line(self.run_tool("report.py", [str(run), "--certificate", str(certificate), "-o",
                                                             f"{tmp}/r.html"]), str(certificate))


class NamesFromThePrograms(unittest.TestCase):
    def test_the_help_lists_every_pattern_and_type(self):
        sys.path.insert(0, str(TOOLS))
        from benchdata import build_dir, listed_names
        build = build_dir(os.environ.get("SORTBENCH_BUILD"))
        patterns = listed_names(build, "sortbench-counts", "write")
        self.assertEqual((len(patterns), patterns[0], patterns[-1]), (24, "ascending", "median3_killer"))
        self.assertEqual(len(listed_names(build, "sortbench-counts", "write_type")), 8)


if __name__ == "__main__":
    unittest.main()
