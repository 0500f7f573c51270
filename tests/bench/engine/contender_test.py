"""Contender libraries through --contender: the example runs and counts, and
every way a library can be wrong ends the run with one line and status 1."""

import json
import os
import shlex
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[3] / "tools"))
from benchdata import build_dir, executable  # noqa: E402

BUILD = build_dir()
SUITE = executable(BUILD, "sortbench-patterns")
COUNTS = executable(BUILD, "sortbench-counts")
EXAMPLE, BROKEN, EMPTY, COSTLY = (os.environ[k] for k in ("EXAMPLE_CONTENDER", "BROKEN_CONTENDER", "EMPTY_CONTENDER",
                                                          "COSTLY_CONTENDER"))


def run(binary, *args):
    return subprocess.run([str(binary), *args], capture_output=True, text=True, timeout=120)


# What a run that should not start at all would otherwise run: little, so
# that a library wrongly accepted fails at once.
NOTHING_MUCH = {SUITE: "--benchmark_filter=^heapsort/random/10/manual_time$", COUNTS: "--filter=^heapsort/random/10$"}


class Loading(unittest.TestCase):
    def assert_one_line_failure(self, result, *words):
        self.assertEqual(result.returncode, 1, result.stderr)
        lines = result.stderr.strip().splitlines()
        self.assertEqual(len(lines), 1, result.stderr)
        for w in words:
            self.assertIn(w, lines[0])

    def test_missing_file(self):
        for binary in (SUITE, COUNTS):
            self.assert_one_line_failure(run(binary, "--contender=/nonexistent.so", NOTHING_MUCH[binary]),
                                         "/nonexistent.so", "No such file")

    def test_library_without_sorts(self):
        for binary in (SUITE, COUNTS):
            self.assert_one_line_failure(run(binary, f"--contender={EMPTY}", NOTHING_MUCH[binary]), EMPTY,
                                         "exports no sortbench_sort_")

    def test_name_clash(self):
        self.assert_one_line_failure(run(SUITE, f"--contender={EXAMPLE}", f"--contender={EXAMPLE}", NOTHING_MUCH[SUITE]),
                                     "'heapsort' is taken")


class Running(unittest.TestCase):
    def test_name_from_a_file_name_of_several_dots(self):
        # A library that does not name itself is named by its file, up to the
        # first dot, as a versioned library's file is called.
        with tempfile.TemporaryDirectory() as tmp:
            copy = Path(tmp) / "libcostly.so.1.2"
            copy.write_bytes(Path(COSTLY).read_bytes())
            r = run(COUNTS, f"--contender={copy}", "--filter=^costly/random/10$")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual([line.split()[0] for line in r.stdout.splitlines()[1:]], ["costly"])

    def test_two_builds_load_side_by_side_under_their_names(self):
        r = run(COUNTS, f"--contender=a={EXAMPLE}", f"--contender=b={EXAMPLE}", "--filter=^[ab]/random/1000$")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual([line.split()[0] for line in r.stdout.splitlines()[1:]], ["a", "b"])

    def test_ab_of_one_build_against_itself(self):
        r = subprocess.run([str(Path(__file__).resolve().parents[3] / "tools" / "ab.py"), "a", "b",
                            f"--contender=a={EXAMPLE}", f"--contender=b={EXAMPLE}", "--filter=^random/1000$",
                            "--rounds=6"], capture_output=True, text=True, timeout=120,
                           env={**os.environ, "SORTBENCH_BUILD": str(BUILD)})
        self.assertEqual(r.returncode, 0, r.stderr)
        row = [line for line in r.stdout.splitlines() if line.startswith("| random/1000 |")]
        self.assertEqual(len(row), 1, r.stdout)
        self.assertEqual([c.strip() for c in row[0].split("|")[6:8]], ["3", "18"])  # processes, rounds in all

    def test_ab_over_placement_copies(self):
        # Each copy of the example starts its sort elsewhere, and ab.py loads a
        # different one in each process, with the layout noise beside.
        addresses = set()
        for k in (1, 2, 3):
            symbols = run("nm", "-D", Path(EXAMPLE).with_name(f"libheapsort.layout{k}.so")).stdout.splitlines()
            addresses |= {line.split()[0] for line in symbols if line.endswith(" sortbench_sort_int32")}
        self.assertEqual(len(addresses), 3)
        ab = [str(Path(__file__).resolve().parents[3] / "tools" / "ab.py"), "a", "b", f"--contender=a={EXAMPLE}",
              f"--contender=b={EXAMPLE}", "--filter=^random/1000$", "--rounds=6"]
        env = {**os.environ, "SORTBENCH_BUILD": str(BUILD)}
        r = subprocess.run([*ab, "--layouts=3"], capture_output=True, text=True, timeout=120, env=env)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("layout noise", r.stdout)
        row = [c.strip() for c in r.stdout.splitlines()[-1].split("|")]
        self.assertEqual(row[6:8], ["3", "18"])
        self.assertRegex(row[8], r"^\d+\.\d\d%$")
        r = subprocess.run([*ab, "--layouts=99"], capture_output=True, text=True, timeout=120, env=env)
        self.assertEqual(r.returncode, 1)
        self.assertIn("libheapsort.layout", r.stderr)

    def test_aligned_copies_move_the_sort_by_whole_lines(self):
        # What history_check.py --aligned measures: the pad still moves the
        # sort, but every function of it starts on a 64-byte line.
        starts = set()
        for k in range(1, 7):
            library = Path(EXAMPLE).with_name(f"libslowed_0pct_aligned.layout{k}.so")
            symbols = [line.split() for line in run("nm", "-D", "--defined-only", library).stdout.splitlines()]
            sorts = {name: int(address, 16) for address, kind, name in symbols
                     if kind == "T" and name.startswith("sortbench_sort")}
            self.assertIn("sortbench_sort_by_int32", sorts)
            self.assertEqual({name: a % 64 for name, a in sorts.items()}, dict.fromkeys(sorts, 0), library.name)
            starts.add(sorts["sortbench_sort_by_int32"])
        self.assertGreater(len(starts), 1)


    def test_hidden_costs_are_counted_per_call(self):
        """1,000 bytes in one allocation and one system call per call, next
        to the built-in sorts' none; a count this machine cannot take is
        absent and named in the context, never 0."""
        with tempfile.TemporaryDirectory() as tmp:
            out = Path(tmp) / "run.json"
            r = run(SUITE, f"--contender={COSTLY}", "--benchmark_filter=^(costly|pdqsort)/random/(100|1024)/manual_time$",
                    "--benchmark_min_time=0.01", "--benchmark_repetitions=1", f"--benchmark_out={out}")
            self.assertEqual(r.returncode, 0, r.stderr)
            doc = json.loads(out.read_text())
        runs = {b["run_name"].split("/manual_time")[0]: b for b in doc["benchmarks"]}
        self.assertEqual(len(runs), 4, list(runs))
        for name, b in runs.items():
            mine = name.startswith("costly")
            for key, value in (("syscalls_per_call", 1.0), ("allocs_per_call", 1.0), ("alloc_bytes_per_call", 1000.0)):
                with self.subTest(name=name, counter=key):
                    if f"n/a:{key}" in doc["context"]:
                        self.assertNotIn(key, b)
                    elif key == "syscalls_per_call" and mine and "n/a:allocs_per_call" in doc["context"]:
                        # A sanitizer's allocator serves the malloc, and now
                        # and then maps memory for it: its system calls too.
                        self.assertGreaterEqual(b[key], 1.0)
                        self.assertLess(b[key], 1.1)
                    else:
                        self.assertEqual(b[key], value if mine else 0.0)
            self.assertGreaterEqual(b["off_cpu"], 0.0)
            self.assertGreater(b["copies"], 0.0)

    def test_example_runs_on_every_type_it_exports(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = Path(tmp) / "run.json"
            r = run(SUITE, f"--contender={EXAMPLE}", "--benchmark_filter=^heapsort/[^/]+/(10|100|1024|10000)(/|$)",
                    "--benchmark_min_time=0.0001", "--benchmark_repetitions=1", f"--benchmark_out={out}")
            self.assertEqual(r.returncode, 0, r.stderr)
            names = {b["run_name"] for b in json.loads(out.read_text())["benchmarks"]}
        types = {n.split("/")[3] if n.split("/")[3] in ("int64", "double", "kv16", "string") else "int32"
                 for n in names}
        self.assertEqual(types, {"int32", "int64", "double", "kv16", "string"})

    def test_wrong_results_fail_the_run(self):
        r = run(SUITE, f"--contender={BROKEN}", "--benchmark_filter=^broken/random/1000/",
                "--benchmark_min_time=0.0001", "--benchmark_repetitions=1")
        self.assertEqual(r.returncode, 1)
        self.assertIn("WRONG RESULT: broken/random/1000", r.stderr)

    def test_example_comparisons_are_counted(self):
        r = run(COUNTS, f"--contender={EXAMPLE}", "--filter=^heapsort/random/10000", "--format=json")
        self.assertEqual(r.returncode, 0, r.stderr)
        records = json.loads(r.stdout)
        self.assertTrue(records)
        for rec in records:
            self.assertGreater(rec["comparisons"], 0)
            self.assertIsNone(rec["moves"])

    @unittest.skipIf(os.environ.get("SORTBENCH_SANITIZED") == "1",
                     "the certificate forks thousands of times, which is slow under AddressSanitizer")
    def test_example_certificate_is_safe_through_its_comparison(self):
        # The faults reach a library through its sortbench_sort_by_*: a
        # heapsort that sifts by swaps is safe under every one, a throw
        # through its C code included.
        r = run(COUNTS, f"--contender={EXAMPLE}", "--certificate", "--filter=^heapsort$", "--format=json")
        self.assertEqual(r.returncode, 0, r.stderr)
        columns = json.loads(r.stdout)["certificate"][0]["columns"]
        self.assertEqual({name: cell["grade"] for name, cell in columns.items()},
                         {"inconsistent": "safe", "throwing": "safe", "observation": "safe", "allocation": "safe",
                          "loops": "safe", "adversary": "safe"})

    def test_example_states_claims_that_hold(self):
        # Read from its sortbench_claims(); judged on a shorter range and a
        # smaller search than the defaults, to stay quick.
        # Asked of sortbench-counts, as before the claims were a program of
        # their own: handed on, and said so.
        r = run(COUNTS, f"--contender={EXAMPLE}", "--claims", "--filter=^heapsort$", "--format=json",
                "--growth_max=100000", "--worst_size=2000", "--worst_budget=100")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("sortbench-counts: --claims is sortbench-growth now; running it", r.stderr)
        verdicts = {c["claim"]: c["verdict"] for c in json.loads(r.stdout)}
        self.assertEqual(verdicts, {"random: n log n": "held", "ascending: n log n": "held",
                                    "descending: n log n": "held", "worst: n log n": "held"})

    def test_printed_replays_give_the_same_count(self):
        # The worst case found, for a library's sort and a built-in one: the
        # command printed beside it, run as printed, counts the same.
        for name, extra in (("heapsort", [f"--contender={EXAMPLE}"]), ("std_sort", [])):
            with self.subTest(contender=name), tempfile.TemporaryDirectory() as tmp:
                r = run(COUNTS, *extra, "--worst", f"--filter=^{name}$", "--worst_size=300", "--worst_budget=1",
                        f"--worst_dir={tmp}")
                self.assertEqual(r.returncode, 0, r.stderr)
                row = next(line.split() for line in r.stdout.splitlines() if line.startswith(name + " "))
                replay = next(line.split("replay: ", 1)[1] for line in r.stdout.splitlines() if "replay: " in line)
                command = shlex.split(replay)
                self.assertEqual(command[0], "sortbench-counts")
                again = run(COUNTS, *command[1:], "--format=json")
                self.assertEqual(again.returncode, 0, again.stderr)
                self.assertEqual([c["comparisons"] for c in json.loads(again.stdout)], [int(row[2])])


if __name__ == "__main__":
    unittest.main(verbosity=2)
