"""The history's store: a record is all or nothing, even under kill -9; two
writers at once both land; merging twice adds nothing and keeps machines
apart; a damaged file, another program's, or a newer store's is refused in
one line and left as it was; and a store of the first schema is read."""

import math
import os
import sqlite3
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import numpy as np

TOOLS = Path(__file__).resolve().parents[2] / "tools"
sys.path.insert(0, str(TOOLS))
from benchdata import ToolError  # noqa: E402
from benchdata import MedianRatio  # noqa: E402
from timeline.bisection import search  # noqa: E402
from timeline.changes import changes_of  # noqa: E402
from timeline.detector import change_points, scores  # noqa: E402
from timeline.series import SeriesKey, all_series, comparable  # noqa: E402
from timeline.store import Figure, Record, Store  # noqa: E402
from history_check import assemble, spread  # noqa: E402

MACHINE = {"vendor": "AuthenticAMD", "family": "26", "model": "2", "compiler": "GCC 12.2.0"}
# A writer in a process of its own: argv is the store, a name, how many
# records, and "die" to kill itself with SIGKILL inside its last record's
# transaction, after half its figures.
WRITER = f"""
import os, signal, sys
sys.path.insert(0, {str(TOOLS)!r})
from timeline.store import Figure, Record, Store
db, name, count, die = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4] == "die"
store = Store(db)
def figures(last):
    for k in range(100):
        if last and die and k == 50:
            os.kill(os.getpid(), signal.SIGKILL)
        yield Figure("std_sort", "random/1000", "comparisons", k, exact=True)
for i in range(count):
    store.add(Record(f"{{name}}-{{i}}", {MACHINE!r}, "2026-12-08", "test", "counts"), figures(i == count - 1))
"""


def writer(db, name, count, die=False):
    return subprocess.Popen([sys.executable, "-c", WRITER, str(db), name, str(count), "die" if die else "live"])


def figures_in(db):
    with sqlite3.connect(db) as c:
        return c.execute("SELECT count(*) FROM figure").fetchone()[0], c.execute(
            "SELECT count(*) FROM record").fetchone()[0]


class TheStore(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.db = Path(self.tmp.name) / "history.db"

    def tearDown(self):
        self.tmp.cleanup()

    def test_a_writer_killed_mid_record_leaves_the_store_as_it_was(self):
        self.assertEqual(writer(self.db, "a", 3).wait(), 0)
        before = figures_in(self.db)
        self.assertEqual(writer(self.db, "b", 2, die=True).wait(), -9)
        # b's first record landed whole; its second, killed half-way, not at all.
        self.assertEqual(figures_in(self.db), (before[0] + 100, before[1] + 1))
        store = Store(self.db)
        self.assertEqual(store.db.execute("PRAGMA integrity_check").fetchone()[0], "ok")
        self.assertTrue(store.add(Record("b-1", MACHINE, "2026-12-08", "test", "counts"), []))
        store.close()

    def test_two_writers_at_once_both_land(self):
        procs = [writer(self.db, name, 200) for name in ("a", "b")]
        self.assertEqual([p.wait() for p in procs], [0, 0])
        self.assertEqual(figures_in(self.db), (40000, 400))

    def test_merging_twice_adds_nothing_and_keeps_machines_apart(self):
        other = Path(self.tmp.name) / "other.db"
        for path, model in ((self.db, "2"), (other, "1")):
            store = Store(path)
            store.add(Record(f"run-{model}", {**MACHINE, "model": model}, "2026-12-08", "test", "counts"),
                      [Figure("std_sort", "random/1000", "comparisons", 11450, exact=True)])
            store.close()
        store = Store(self.db)
        self.assertEqual([store.merge(other), store.merge(other)], [1, 0])
        self.assertEqual(sorted(r.machine["model"] for r, _ in store.records()), ["1", "2"])
        self.assertEqual(store.db.execute("SELECT count(DISTINCT generation) FROM machine").fetchone()[0], 2)
        store.close()

    def test_what_is_not_a_store_is_refused_and_left_alone(self):
        damaged = Path(self.tmp.name) / "damaged.db"
        damaged.write_bytes(b"not a database at all" * 100)
        foreign = Path(self.tmp.name) / "foreign.db"
        with sqlite3.connect(foreign) as c:
            c.execute("CREATE TABLE t (x)")
        Store(self.db).close()
        with sqlite3.connect(self.db) as c:
            c.execute("PRAGMA user_version = 99")
        for path, words in ((damaged, "damaged"), (foreign, "another program"), (self.db, "newer")):
            before = path.read_bytes()
            with self.assertRaises(ToolError) as e:
                Store(path)
            self.assertIn(words, str(e.exception))
            self.assertEqual(path.read_bytes(), before)

    def test_a_store_of_the_first_schema_is_read(self):
        with sqlite3.connect(self.db) as c:
            c.executescript((Path(__file__).parent / "data" / "history-v1.sql").read_text())
        records = Store(self.db, create=False).records()
        self.assertEqual([(r.kind, r.libraries, len(f)) for r, f in records],
                         [("rounds", {"heapsort": "abc123"}, 1)])
        self.assertEqual(records[0][1][0].figure, "ratio_to:std_sort")


class Series(unittest.TestCase):
    def test_a_series_keeps_to_one_generation_in_commit_order(self):
        def run(uid, model, position, value):
            return (Record(uid, {**MACHINE, "model": model}, f"2026-12-0{9 - position}", "test", "rounds", "s",
                           {"heap": f"rev{position}"}, position),
                    [Figure("heap", "random/1000", "ratio_to:std_sort", value, value * 0.99, value * 1.01, 20)])
        found = all_series([run("c", "2", 2, 1.2), run("a", "2", 0, 1.0), run("b", "1", 1, 1.1), run("d", "2", 1, 1.1)])
        self.assertEqual(len(found), 2)  # Zen 5 and the other model apart
        zen5 = next(s for k, s in found.items() if "model 2" in k.generation)
        self.assertEqual([p.commit for p in zen5.points], ["rev0", "rev1", "rev2"])  # by position, not by date
        other = next(s for k, s in found.items() if "model 1" in k.generation)
        with self.assertRaises(ToolError) as e:
            comparable(zen5, other)
        self.assertIn("generations", str(e.exception))

    def test_shown_machine_by_machine_the_ratio_to_the_first_build_first(self):
        # By name, contender a's series of two machines came before b's on
        # the first, and the page repeated the first machine's heading.
        keys = [SeriesKey(g, "gcc", c, "random/1000", f) for g, c, f in
                [("B", "a", "ratio_to:std_sort"), ("A", "b", "ratio_to:std_sort"),
                 ("B", "a", "ratio_to:a@1a2b3c4d5e"), ("A", "a", "comparisons")]]
        self.assertEqual([(k.generation, k.contender, k.figure) for k in sorted(keys, key=SeriesKey.order)],
                         [("A", "a", "comparisons"), ("A", "b", "ratio_to:std_sort"),
                          ("B", "a", "ratio_to:a@1a2b3c4d5e"), ("B", "a", "ratio_to:std_sort")])


class Detector(unittest.TestCase):
    def test_the_split_score_by_hand(self):
        # [0, 0, 1, 1] split after one value: the sides lie 2/3 apart in
        # all (4/3 between, 2/3 within the right), weighted by 1*3/4.
        self.assertEqual(scores(np.array([0.0, 0.0, 1.0, 1.0]), 0, 4, 1), {1: 0.5, 2: 2.0, 3: 0.5})

    def test_changes_name_the_commit_both_ways_and_counts_change_exactly(self):
        rng = np.random.default_rng(7)
        levels = [1.0] * 10 + [1.05] * 10 + [1.0] * 10
        timed = [(Record(f"t{i}", MACHINE, "2026-12-08", "test", "rounds", "s", {"heap": f"rev{i}"}, i),
                  [Figure("heap", "random/1000", "ratio_to:std_sort", v * (1 + 0.005 * rng.standard_normal()),
                          None, None, 20),
                   Figure("heap", "random/1000", "comparisons", 100 if i < 4 else 101, exact=True)])
                 for i, v in enumerate(levels)]
        found = {k.figure: changes_of(s) for k, s in all_series(timed).items()}
        self.assertEqual([(c.commit, c.direction) for c in found["ratio_to:std_sort"]],
                         [("rev10", "up"), ("rev20", "down")])
        up = found["ratio_to:std_sort"][0]
        self.assertLess(up.low, 1.05)
        self.assertGreater(up.high, 1.04)
        self.assertEqual([(c.commit, c.ratio) for c in found["comparisons"]], [("rev4", 1.01)])

    def test_a_step_is_found_where_it_is_and_the_same_every_time(self):
        rng = np.random.default_rng(5)
        z = np.concatenate([1 + 0.01 * rng.standard_normal(15), 1.03 + 0.01 * rng.standard_normal(15)])
        found = change_points(z)
        self.assertEqual(len(found), 1)
        self.assertLessEqual(abs(found[0].index - 15), 1)
        self.assertEqual(change_points(z), found)


def level(ratio, half=0.01):
    return MedianRatio(ratio, ratio - half, ratio + half, 20)


class Bisection(unittest.TestCase):
    def test_names_the_first_slow_commit_within_its_builds_or_says_why_not(self):
        # (levels of the commits after GOOD, BAD last; the commit named, or
        # what is said instead)
        step = [1.0] * 12 + [1.05] * 19
        cases = [(step, 12, None), ([1.0] * 30 + [1.05], 30, None), ([1.05] * 31, 0, None),
                 ([1.0] * 31, None, None),
                 ([1.0 + 0.005 * i for i in range(31)], 3, "grows"),
                 ([1.0] * 15 + [1.02] + [1.02] * 15, 15, None)]
        for levels, named, said in cases:
            with self.subTest(levels=levels):
                out = search(len(levels), lambda i: level(levels[i]))
                self.assertEqual(out.first_slow, named)
                self.assertLessEqual(len(out.measured), math.ceil(math.log2(len(levels))) + 1)
                self.assertEqual(out.one_commit, named is not None and said is None)
                if said == "grows":
                    self.assertTrue(out.grows)

    def test_a_midpoint_that_ties_both_sides_is_said_so(self):
        levels = [1.0] * 10 + [1.015] * 21
        out = search(len(levels), lambda i: level(levels[i], 0.02 if i < 10 else 0.01))
        self.assertEqual(out.first_slow, 10)
        self.assertFalse(out.one_commit)
        self.assertTrue(out.ties_both)


class AssembledSeries(unittest.TestCase):
    def test_a_commit_is_timed_where_its_build_lies(self):
        # Two placements of one build that run a tenth apart. A commit's
        # points all come from its own placement, never a blend of both, and
        # the placement stays until a commit moves the code.
        unchanged, slowed = {1: [1.0] * 4, 2: [1.1] * 4}, {1: [2.0] * 4, 2: [2.2] * 4}
        rng = np.random.default_rng(1)
        kept, _ = assemble(rng, unchanged, None, 30, 1, 0.0)
        self.assertEqual(len({round(v, 9) for v in kept}), 1)
        moved, _ = assemble(rng, unchanged, None, 200, 1, 1.0)
        self.assertEqual({round(v, 9) for v in moved}, {1.0, 1.1})
        both, _ = assemble(rng, unchanged, None, 30, 2, 0.5)
        for v in both:
            self.assertAlmostEqual(v, math.sqrt(1.1))
        stepped, step = assemble(rng, unchanged, slowed, 30, 1, 0.0)
        self.assertTrue(3 <= step <= 27)
        for before, after in zip(stepped[:step], stepped[step:]):
            self.assertAlmostEqual(after / before, 2.0)

    def test_the_spread_is_the_moved_builds_between_and_within_processes(self):
        # Two processes whose moved build read e^-0.01 and e^+0.01 of the
        # unslowed one, their intervals those of a standard error of 1% and
        # 2% in the logs, of 10 and 30 rounds; the slowed build, far off,
        # must not enter.
        def process(log, se, rounds):
            low, high = math.exp(log - 1.96 * se), math.exp(log + 1.96 * se)
            return {"moved": {"to_unslowed": [math.exp(log), low, high], "rounds": [[1] * rounds] * 2},
                    "slowed_5pct": {"to_unslowed": [2.0, 1.0, 3.0], "rounds": [[1] * 99] * 2}}
        row = spread({"1000": [process(-0.01, 0.01, 10), process(0.01, 0.02, 30)]})["1000"]
        self.assertEqual(row["rounds"], [10, 20, 30])
        self.assertAlmostEqual(row["between"], 0.01 * math.sqrt(2))
        self.assertAlmostEqual(row["within"], 0.015)


if __name__ == "__main__":
    unittest.main()
