"""The report of a short real run, opened from disk in headless Chromium:
every chart drawn with its contenders and the floor, the ratio table whole,
and no script error in the console."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tools"))
from benchdata import build_dir, executable  # noqa: E402

BUILD = build_dir()
CONTENDERS = ["shell_sort", "std_sort", "pdqsort"]
PATTERNS = ["random", "ascending"]
BROWSER = shutil.which("chromium") or shutil.which("chromium-browser")


def run(*args, **kw):
    r = subprocess.run([str(a) for a in args], capture_output=True, text=True, **kw)
    if r.returncode != 0:
        raise AssertionError(f"{args[0]} exited {r.returncode}: {r.stderr[-500:]}")
    return r


def rendered(page, home):
    """(the DOM after the scripts ran, the console, the page's text)."""
    # No network: the page must carry everything it needs.
    browser = subprocess.run(
        [BROWSER, "--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
         "--enable-logging=stderr", "--v=0", "--virtual-time-budget=15000", "--dump-dom", page.as_uri()],
        capture_output=True, text=True, timeout=120, env={**os.environ, "HOME": str(home)})
    return browser.stdout, browser.stderr, page.read_text()


class RenderedReport(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # A missing package is a missing install step, not a reason to skip.
        if BROWSER is None:
            raise AssertionError("chromium is not installed: tools/install-deps.sh installs it")
        cls.tmp = tempfile.TemporaryDirectory()
        tmp = Path(cls.tmp.name)
        names = "|".join(CONTENDERS + ["ips4o_par"])
        run(executable(BUILD, "sortbench-patterns"),
            f"--benchmark_filter=^({names})/({'|'.join(PATTERNS)})/(100|1000|10000)(/|$)",
            "--benchmark_min_time=0.0001", "--benchmark_repetitions=2", f"--benchmark_out={tmp / 'run.json'}")
        counts = run(executable(BUILD, "sortbench-counts"), "--format=json", "--filter=^(std_sort|pdqsort)/random/")
        (tmp / "counts.json").write_text(counts.stdout)
        shutil.copy(tmp / "run.json", tmp / "older.json")
        run(REPO / "tools" / "report.py", tmp / "run.json", tmp / "older.json",
            "--counts", tmp / "counts.json", "-o", tmp / "report.html")
        cls.dom, cls.console, cls.page_text = rendered(tmp / "report.html", tmp)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def chart(self, div_id):
        start = self.dom.find(f'id="{div_id}"')
        self.assertNotEqual(start, -1, f"no element {div_id}")
        end = self.dom.find("class=\"chart\"", start + 1)
        return self.dom[start:end if end != -1 else len(self.dom)]

    def test_every_chart_is_drawn_with_its_contenders(self):
        for p in PATTERNS:
            chart = self.chart(f"chart-int32-{p}")
            self.assertIn('class="main-svg"', chart, p)
            legend = set(re.findall(r'class="legendtext"[^>]*data-unformatted="([^"]+)"', chart))
            # The floor of the same batches is drawn as a band under them.
            self.assertEqual(legend, set(CONTENDERS) | {"floor: read (warm)", "floor: copy (warm)"}, p)
        for extra in ("chart-threads", "chart-counts", "chart-compare-older"):
            self.assertIn('class="main-svg"', self.chart(extra), extra)

    def test_the_ratio_table_has_a_cell_per_contender_and_pattern(self):
        table = re.search(r"<table class=\"ratios\" data-type=\"int32\">(.*?)</table>", self.dom, re.S)
        self.assertIsNotNone(table)
        rows = [(name, cells) for name, cells in re.findall(r"<tr><th>([^<]+)</th>(.*?)</tr>", table.group(1), re.S)
                if "<td" in cells]
        self.assertEqual({name for name, _ in rows}, set(CONTENDERS))
        for name, cells in rows:
            self.assertEqual(len(re.findall(r"<td", cells)), len(PATTERNS), name)

    def test_no_script_error_and_nothing_from_the_network(self):
        errors = [line for line in self.console.splitlines() if ":CONSOLE" in line]
        self.assertEqual(errors, [])
        self.assertNotRegex(self.page_text, r"<script[^>]+src=")


class HistoryView(unittest.TestCase):
    def test_each_series_drawn_with_its_change_named(self):
        if BROWSER is None:
            raise AssertionError("chromium is not installed: tools/install-deps.sh installs it")
        from timeline.store import Figure, Record, Store
        machine = {"vendor": "AuthenticAMD", "family": "26", "model": "2"}
        with tempfile.TemporaryDirectory() as tmp:
            tmp = Path(tmp)
            store = Store(tmp / "history.db")
            for i in range(20):
                level = 1.0 if i < 10 else 1.1
                store.add(Record(f"r{i}", machine, "2026-12-08", "test", "sweep", "s", {"heap": f"rev{i}"}, i),
                          [Figure("heap", "random/1000", "ratio_to:std_sort", level + 0.001 * (i % 3),
                                  level - 0.01, level + 0.01, 20),
                           Figure("heap", "random/1000", "comparisons", 100 if i < 10 else 120, exact=True)])
            store.close()
            run(REPO / "tools" / "report.py", "--history", tmp / "history.db", "-o", tmp / "history.html")
            dom, console, text = rendered(tmp / "history.html", tmp)
        for n in range(2):
            self.assertIn('class="main-svg"', dom.split(f'id="history-{n}"')[1].split('class="chart"')[0])
        changes = re.search(r"<table class=\"changes\">(.*?)</table>", dom, re.S).group(1)
        self.assertEqual(re.findall(r"<td>(rev\d+)</td>", changes), ["rev10", "rev10"])
        self.assertIn("commit rev10", text)
        self.assertEqual([line for line in console.splitlines() if ":CONSOLE" in line], [])


if __name__ == "__main__":
    unittest.main()
