"""Short real runs of sortbench-patterns, read back from its JSON: what the
defaults give, that capped cases say so, that an allocating routine's timed
calls take no page faults after the warm-up, and that the cold copy really
writes around the caches."""

import json
import re
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[3] / "tools"))
from benchdata import build_dir, executable  # noqa: E402

BUILD = build_dir()
SUITE = executable(BUILD, "sortbench-patterns")

EQUAL_RUNS = ["few_distinct", "all_equal", "distinct_2", "distinct_16", "distinct_256", "zipf",
              "middle_pivot_killer"]
CAPPED = {"comb_sort": ["middle_pivot_killer"], "ex_quick_sort": EQUAL_RUNS, "my_QSORT": EQUAL_RUNS}


def run_suite(*args):
    """Runs the suite with `args` and returns every run of its JSON file."""
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "run.json"
        run = subprocess.run([str(SUITE), f"--benchmark_out={out}", *args], capture_output=True, text=True,
                             timeout=240)
        if run.returncode != 0:
            raise AssertionError(f"exit {run.returncode}: {run.stderr.strip()}")
        return json.loads(out.read_text())["benchmarks"]


class Defaults(unittest.TestCase):
    def test_three_repetitions_in_random_order(self):
        runs = run_suite("--benchmark_filter=^(std_sort|pdqsort|shell_sort|spreadsort)/ascending/(10|20|30)/")
        iterations = [r for r in runs if r["run_type"] == "iteration"]
        names = sorted({r["run_name"] for r in iterations})
        self.assertEqual(len(names), 24)
        for name in names:
            reps = [r for r in iterations if r["run_name"] == name]
            self.assertEqual(sorted(r["repetition_index"] for r in reps), [0, 1, 2], name)
            self.assertTrue(all(r["repetitions"] == 3 for r in reps), name)
        # A benchmark is reported when its last repetition is done. In order,
        # that is the order of registration (family_index); interleaved at
        # random, 24 benchmarks finish in that order about never.
        finished = [r["family_index"] for r in iterations if r["repetition_index"] == 2]
        self.assertNotEqual(finished, sorted(finished), "repetitions ran benchmark by benchmark")


class Measurement(unittest.TestCase):
    def test_allocating_routine_faults_only_in_its_warm_up(self):
        runs = run_suite("--benchmark_filter=^c_qsort/random/1000000/manual_time$")
        iterations = [r for r in runs if r["run_type"] == "iteration"]
        self.assertEqual(len(iterations), 3)
        # Unpinned, glibc maps qsort's 4 MB scratch buffer afresh for every
        # call: about 975 faults each. Pinned, the buffer is the warm-up's;
        # the second repetition takes one fault, the heap having moved by a
        # page between repetitions.
        for r in iterations:
            self.assertLessEqual(r["faults_per_call"], 1, r)

    def test_cold_copy_uses_non_temporal_stores(self):
        disassembly = subprocess.run(["objdump", "-d", "-C", "--no-show-raw-insn", str(SUITE)],
                                     capture_output=True, text=True, check=True).stdout
        start = re.search(r"^[0-9a-f]+ <copy_cold\(.*>:$", disassembly, re.MULTILINE)
        self.assertIsNotNone(start, "no copy_cold in the binary")
        body = disassembly[start.end():disassembly.find("\n\n", start.end())]
        self.assertIn("movnt", body)
        self.assertRegex(disassembly, r"call +[0-9a-f]+ <copy_cold\(", "copy_cold is never called")


class Caps(unittest.TestCase):
    def test_every_capped_case_says_so(self):
        alternatives = "|".join(f"^{c}/({'|'.join(patterns)})/(100000|1000000)/(cold/)?manual_time$"
                                for c, patterns in CAPPED.items())
        runs = run_suite(f"--benchmark_filter={alternatives}", "--benchmark_repetitions=1")
        expected = {f"{c}/{p}/{n}{cold}/manual_time" for c, patterns in CAPPED.items() for p in patterns
                    for n in (100000, 1000000) for cold in ("", "/cold")}
        self.assertEqual({r["name"] for r in runs}, expected)
        for r in runs:
            self.assertTrue(r.get("error_occurred"), r["name"])
            self.assertEqual(r["error_message"], "skipped: quadratic on this pattern, run up to 10000 elements only")


class Input(unittest.TestCase):
    def test_a_users_strings_run_through_every_string_contender(self):
        with tempfile.TemporaryDirectory() as tmp:
            words = Path(tmp) / "words.txt"
            words.write_text("".join(f"w{(i * 7919) % 1000:04d}\n" for i in range(1000)))
            runs = run_suite(f"--input={words}", "--input_type=string", "--benchmark_filter=/words/",
                             "--benchmark_repetitions=1", "--benchmark_min_time=0.0001")
        names = {r["run_name"].removesuffix("/manual_time") for r in runs if not r.get("error_occurred")}
        self.assertIn("pdqsort/words/1000/string", names)
        self.assertIn("shell_sort/words/1000/string", names)
        self.assertNotIn("vqsort/words/1000/string", names)  # vqsort takes no strings
        self.assertEqual({n.split("/")[2] for n in names}, {"10", "20", "30", "40", "50", "64", "100", "128", "256",
                                                            "512", "1000"})

    def test_bad_input_stops_before_anything_runs(self):
        with tempfile.TemporaryDirectory() as tmp:
            bad = Path(tmp) / "bad.txt"
            bad.write_text("1\n2\nthree\n")
            run = subprocess.run([str(SUITE), f"--input={bad}", "--input_text"], capture_output=True, text=True,
                                 timeout=60)
        self.assertEqual(run.returncode, 1)
        self.assertEqual(run.stderr, f"sortbench-patterns: {bad}: line 3: not a number of type int32: 'three'\n")
        self.assertEqual(run.stdout, "")


if __name__ == "__main__":
    unittest.main()
