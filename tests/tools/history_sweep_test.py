"""A sweep over a git repository of ten commits of the heapsort example,
the sixth of which makes it slower by a real change in its code (a pass of
n - 1 more comparisons before the sort's second phase): the sweep records
ten points, each also against the first commit's build, `changes` names
that commit from the exact counts, and `confirm` confirms it. Each bad
input to the commands is refused in one line, with status 1 and the store
as it was."""

import json
import os
import sqlite3
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
HISTORY = ROOT / "tools" / "history.py"
BUILD = os.environ.get("SORTBENCH_BUILD")
SLOW_AT = 5
# The change: n - 1 comparisons over the heap before the sort's second
# phase, kept by a volatile sum so that no compiler drops them.
PASS = ("for (size_t i = 1; i < n; ++i) heapsort_out_of_order += less(&a[i], &a[i - 1]); "
        "for (size_t end = n; end > 1; --end) {")
GIT = {"GIT_AUTHOR_NAME": "t", "GIT_AUTHOR_EMAIL": "t@t", "GIT_COMMITTER_NAME": "t", "GIT_COMMITTER_EMAIL": "t@t"}


def git(repo, *args):
    return subprocess.run(["git", "-C", str(repo), *args], check=True, capture_output=True, text=True,
                          env={**os.environ, **GIT}).stdout.strip()


@unittest.skipUnless(BUILD, "SORTBENCH_BUILD names no build of the programs")
class Sweep(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.repo = Path(cls.tmp.name) / "heapsort"
        cls.repo.mkdir()
        git(cls.repo, "init", "-q")
        source = (ROOT / "examples" / "heapsort" / "heapsort.c").read_text()
        assert "for (size_t end = n; end > 1; --end) {" in source
        cls.commits = []
        for k in range(10):
            text = source if k < SLOW_AT else source.replace("for (size_t end = n; end > 1; --end) {", PASS).replace(
                "#define HEAPSORT(", "static volatile size_t heapsort_out_of_order;\n#define HEAPSORT(", 1)
            (cls.repo / "heapsort.c").write_text(f"/* revision {k} */\n" + text)
            git(cls.repo, "add", "heapsort.c")
            git(cls.repo, "commit", "-q", "-m", f"revision {k}")
            cls.commits.append(git(cls.repo, "rev-parse", "HEAD"))
        cls.build = f"cc -O2 -fPIC -shared -I{ROOT / 'include'} heapsort.c -o libheapsort.so"

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def history(self, *args, db=None):
        return subprocess.run([sys.executable, str(HISTORY), *args, *([f"--db={db}"] if db else [])],
                              capture_output=True, text=True)

    def built(self, command, *args, layouts=None):
        return [command, *args, f"--repo={self.repo}", f"--build={self.build}", "--library=libheapsort.so",
                "--filter=^random/1000$", "--budget_s=1", f"--build_dir={BUILD}",
                f"--layouts={layouts}" if layouts else "--processes=1"]

    def test_placements_are_built_apart_and_each_timed(self):
        padded = self.build.replace("heapsort.c", '"$SORTBENCH_LAYOUT_PAD" heapsort.c')
        run = self.history(*self.built("confirm", self.commits[SLOW_AT], layouts=2), f"--build={padded}")
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("paired rounds, 2 processes", run.stdout)

    def test_the_sweep_finds_the_commit_and_confirm_confirms_it(self):
        db = Path(self.tmp.name) / "sweep.db"
        run = self.history(*self.built("sweep", f"--range={self.commits[0]}..{self.commits[-1]}"), db=db)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("10 points recorded", run.stdout)
        run = self.history("changes", "--figure=comparisons", "--format=json", db=db)
        self.assertEqual(run.returncode, 0, run.stderr)
        found = json.loads(run.stdout)
        self.assertEqual([(c["commit"], c["direction"]) for c in found], [(self.commits[SLOW_AT], "up")])
        # Every point is also timed beside the range's first build, which is 1 against itself.
        run = self.history("series", f"--figure=ratio_to:heapsort@{self.commits[0][:10]}", db=db)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertRegex(run.stdout, r"heapsort random/1000 ratio_to:heapsort@\w+ \[.*\]: 10 points, last \d")
        with sqlite3.connect(db) as store:
            points = store.execute("SELECT value, low, high FROM figure WHERE figure = ?",
                                   (f"ratio_to:heapsort@{self.commits[0][:10]}",)).fetchall()
        self.assertEqual(len(points), 10)
        self.assertEqual(points.count((1.0, 1.0, 1.0)), 1)
        self.assertTrue(all(low is not None and low <= value <= high for value, low, high in points))
        run = self.history(*self.built("confirm", self.commits[SLOW_AT]))
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("comparisons", run.stdout)
        self.assertEqual(run.stdout.splitlines()[-1], "confirmed")
        run = self.history(*self.built("confirm", self.commits[3]))
        self.assertNotIn("(exact)", run.stdout)

    def test_bad_input_is_refused_in_one_line_and_the_store_kept(self):
        db = Path(self.tmp.name) / "kept.db"
        self.history(*self.built("sweep", f"--range={self.commits[0]}..{self.commits[1]}"), db=db)
        before = db.read_bytes()
        broken = Path(self.tmp.name) / "broken.db"
        broken.write_bytes(b"not a store" * 100)
        first, last = self.commits[0], self.commits[-1]
        cases = [("no commit", self.built("sweep", f"--range=no_such_commit..{last}"), db),
                 ("no commit", self.built("confirm", "0123456789abcdef"), None),
                 ("holds no commit", self.built("sweep", f"--range={last}..{last}"), db),
                 ("not a sortbench history", self.built("sweep", f"--range={first}..{last}"), broken),
                 ("build failed at every one", self.built("sweep", f"--range={first}..{self.commits[2]}")
                  + ["--build=false"], db),
                 ("must link $SORTBENCH_LAYOUT_PAD", self.built("sweep", f"--range={first}..{last}", layouts=2), db)]
        for said, args, store in cases:
            with self.subTest(said=said):
                run = self.history(*args, db=store)
                self.assertEqual(run.returncode, 1)
                # Progress lines, one a commit tried, begin "[k/N]".
                lines = [line for line in run.stderr.splitlines() if not line.startswith("[")]
                self.assertEqual(len(lines), 1, run.stderr)
                self.assertIn(said, lines[0])
                self.assertEqual(db.read_bytes(), before)


if __name__ == "__main__":
    unittest.main()
