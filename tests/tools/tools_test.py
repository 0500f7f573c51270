"""The arithmetic of the tools in tools/, on hand-made figures: the figure of a
benchmark, the statistics, the spread across processes, the cross-check's
verdicts, the ratio and thread tables and the report's comparison of runs."""

import json
import math
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import benchdata  # noqa: E402
from benchdata import (Name, SuiteRun, cv, differ, gmean, median_ratio, parse_name, processes_ratio,  # noqa: E402
                       ratio_intervals, ratios_to, tie, wilcoxon_p)
from paired_table import rows as paired_rows  # noqa: E402
from crosscheck import verdict as crosscheck_verdict  # noqa: E402
from processes import spread  # noqa: E402
from ratio_table import ratio_table, type_summary  # noqa: E402
from report import compared, ratio_tables, verdict  # noqa: E402
from threads_table import thread_rows  # noqa: E402
from advice_check import regret  # noqa: E402
from ab import PLACEMENT_TIE, layout_noise, verdict as ab_verdict  # noqa: E402
from report import advice_section, growth_charts  # noqa: E402
import plotly.graph_objects as go  # noqa: E402


def entry(name, ns, aggregate=None, cpu=None):
    """A benchmark's entry; its CPU time is its wall time unless given."""
    e = {"name": name, "run_name": f"{name}/manual_time", "run_type": "aggregate" if aggregate else "iteration",
         "real_time": ns, "time_unit": "ns", "cpu_ns": ns if cpu is None else cpu}
    if aggregate:
        e["aggregate_name"] = aggregate
    return e


def suite_file(entries, tmp, file="run.json", context=None):
    path = Path(tmp) / file
    path.write_text(json.dumps({"context": context or {"noisy_cv": "0.050000"}, "benchmarks": entries}))
    return SuiteRun(path)


class Statistics(unittest.TestCase):
    def test_names_parse_once_into_records(self):
        for text, name in [
                ("pdqsort/random/10000", Name("pdqsort", "random", 10000)),
                ("pdqsort/random/10000/manual_time", Name("pdqsort", "random", 10000)),
                ("c/p/100/kv16/threads:2/cold", Name("c", "p", 100, "kv16", 2, True)),
                ("c/p/100/cold", Name("c", "p", 100, cold=True)),
                ("ips4o_par/random/1000000/threads:8", Name("ips4o_par", "random", 1000000, threads=8))]:
            self.assertEqual(parse_name(text), name, text)
            self.assertEqual(str(name), text.removesuffix("/manual_time"))
        for other in ["BM_Sort", "a/b", "a/b/c", "a/b/10/x/y"]:
            self.assertIsNone(parse_name(other), other)

    def test_the_figure_is_the_median_of_the_repetitions(self):
        with tempfile.TemporaryDirectory() as tmp:
            run = suite_file([entry("a/r/10", ns) for ns in (1, 2, 3, 10)]
                             + [entry("b/r/10", 7), entry("b/r/10", 99), entry("b/r/10", 5, "median")], tmp)
        a, b = run.figures[Name("a", "r", 10)], run.figures[Name("b", "r", 10)]
        self.assertEqual(a.value, 2.5)  # the median of four, not the mean (4) nor the upper median (3)
        self.assertEqual(a.minimum, 1)
        self.assertEqual(b.value, 5)  # Google Benchmark's own median aggregate wins

    def test_cv_and_geometric_mean_by_hand(self):
        self.assertAlmostEqual(cv([1, 2, 3]), 0.5)  # sample sd 1 over mean 2
        self.assertIsNone(cv([4]))
        self.assertAlmostEqual(gmean([0.25, 4]), 1.0)  # where the plain mean is 2.125
        self.assertAlmostEqual(gmean([2, 8]), 4.0)

    def test_differ_by_mann_whitney_with_a_warning_below_nine(self):
        apart = differ([1, 2, 3, 4, 5], [6, 7, 8, 9, 10])
        self.assertAlmostEqual(apart.p, 2 / 252)
        self.assertTrue(apart.significant)
        self.assertIn("fewer than 9", apart.warning)
        self.assertFalse(differ([1, 2], [6, 7]).significant)  # p = 1/3 at best
        many = differ(range(10), range(5, 15))
        self.assertEqual(many.warning, "")

    def test_paired_verdict_and_the_second_test(self):
        a = [100, 102, 98, 101, 99, 100, 103, 97, 100, 101]
        slower = median_ratio(a, [x * 1.05 for x in a])  # every round 5% slower
        self.assertAlmostEqual(slower.ratio, 1.05)
        self.assertEqual(slower.verdict(), "B slower")
        self.assertLess(wilcoxon_p(a, [x * 1.05 for x in a]), 0.05)
        # Ratios 0.5 and 2 alternate: the interval holds 1.
        self.assertEqual(median_ratio([100] * 10, [50, 200] * 5).verdict(), "tie")
        faster = median_ratio(a, [x * r for x, r in zip(a, [0.9, 0.92, 0.95, 0.91, 0.93, 0.9, 0.94, 0.92, 0.96, 0.9])])
        self.assertEqual(faster.verdict(), "B faster")

    def test_median_ratio_of_paired_rounds_and_its_interval(self):
        # Twenty rounds of ratios 1.00 .. 1.19: the median 1.095, and the
        # interval from the 6th smallest to the 6th largest (the binomial).
        r = median_ratio([2.0] * 20, [2.0 * (1 + i / 100) for i in range(20)])
        self.assertAlmostEqual(r.ratio, 1.095)
        self.assertEqual((round(r.low, 6), round(r.high, 6)), (1.05, 1.14))
        self.assertAlmostEqual(r.half_width, 1.14 / 1.095 - 1)
        self.assertEqual(median_ratio([1] * 5, [2] * 5).high, float("inf"))  # too few for an interval

    def test_a_tie_crosses_one_or_the_runner_up(self):
        self.assertTrue(tie((0.98, 1.01)))
        self.assertFalse(tie((0.90, 0.97)))
        self.assertTrue(tie((0.90, 0.97), (0.96, 0.99)))   # overlaps the one ranked above
        self.assertFalse(tie((0.90, 0.94), (0.96, 0.99)))
        self.assertFalse(tie(None))
        # In a rounds file: b is 1.02 in half the rounds, 0.99 in the other
        # half (a tie with the reference a); c is 0.5 throughout.
        case = benchdata.RoundsCase("random/1000", ["a", "b", "c"], "cpu", [[10.0] * 20, [10.2, 9.9] * 10, [5.0] * 20],
                                    [[10.0] * 20] * 3, [[1.0] * 20] * 3, [[0.5] * 20] * 3)
        ranked = paired_rows(case)
        self.assertEqual([m for m, _, _ in ranked], ["c", "a", "b"])
        self.assertTrue(tie(ranked[2][1].interval))
        self.assertFalse(tie(ranked[0][1].interval))
        self.assertEqual(ranked[0][2], 10.0)  # copies: wall over the copy floor

    def test_ranges_of_unpaired_repetitions_and_counters_left_out(self):
        entries = [entry("std_sort/random/1000", ns) for ns in (100, 110)]
        entries += [entry("a/random/1000", ns) for ns in (50, 60)] + [entry("b/random/1000", ns) for ns in (95, 120)]
        entries[0]["cpu_ns"] = entries[1]["cpu_ns"] = 90.0
        with tempfile.TemporaryDirectory() as tmp:
            run = suite_file(entries, tmp)
        spans = ratio_intervals(run, figure="wall")
        self.assertEqual(spans[("a", "random")], (50 / 110, 60 / 100))
        self.assertFalse(tie(spans[("a", "random")]))
        self.assertTrue(tie(spans[("b", "random")]))
        counters = run.figures[Name("std_sort", "random", 1000)].counters
        self.assertEqual(counters["cpu_ns"], 90.0)
        self.assertNotIn("syscalls_per_call", counters)  # not counted: absent, never 0


class Tools(unittest.TestCase):
    def test_spread_across_processes_against_within(self):
        # Three processes, each tight (sd 1 within) but moved as a whole.
        s = spread([[99, 100, 101], [199, 200, 201], [299, 300, 301]])
        self.assertEqual(s.minimums, [99, 199, 299])
        self.assertAlmostEqual(s.within_median, 1 / 200)  # the middle process's
        self.assertAlmostEqual(s.across, 100 / 199)

    def test_crosscheck_verdicts(self):
        self.assertEqual(crosscheck_verdict([100, 101, 99], [102, 103, 101])[1], "agree")
        self.assertEqual(crosscheck_verdict([100, 90, 110, 95, 105], [120, 80, 130, 85, 125])[1], "within noise")
        ratio, v = crosscheck_verdict([100, 101, 102, 103, 104], [120, 121, 122, 123, 124])
        self.assertEqual(v, "DIFFER")
        self.assertAlmostEqual(ratio, 102 / 122)
        # Two runs a side cannot reach p < 0.05, however far apart.
        self.assertEqual(crosscheck_verdict([100, 101], [200, 201])[1], "within noise")

    def test_the_figure_choice_reaches_every_table(self):
        # Wall time says a is twice std_sort; CPU time says half. The default
        # takes CPU time for a sequential sort, wall time for a parallel one.
        entries = [entry("std_sort/random/1000", ns, cpu=ns) for ns in (100, 101)]
        entries += [entry("a/random/1000", ns, cpu=ns / 4) for ns in (200, 202)]
        entries += [entry("p/random/1000/threads:2", 40.0, "median", cpu=80.0)]
        with tempfile.TemporaryDirectory() as tmp:
            run = suite_file(entries, tmp, context={"contenders": "std_sort,a,p", "patterns": "random"})
            self.assertAlmostEqual(ratio_table(run, "int32", "warm", 1000)[2][("a", "random")], 0.5, places=2)
            self.assertAlmostEqual(ratio_table(run, "int32", "warm", 1000, "wall")[2][("a", "random")], 2.0, places=2)
            self.assertEqual(run.figures[Name("p", "random", 1000, threads=2)].of(benchdata.held("held", 2)), 40.0)
            self.assertIn("a is the best", verdict(run)[0])
            self.assertIn("std_sort is the best", verdict(run, figure="wall")[0])
            # From the command line, as a user gives it.
            tool = Path(__file__).resolve().parents[2] / "tools" / "ratio_table.py"
            default, wall = (subprocess.run([sys.executable, str(tool), str(run.path), *extra], capture_output=True,
                                            text=True, check=True).stdout for extra in ([], ["--figure", "wall"]))
        self.assertIn("| a | 0.50 |", default)
        self.assertIn("CPU time for sequential sorts", default)
        self.assertIn("| a | 2.00 |", wall)

    def test_ratio_table_is_a_geometric_mean_over_sizes(self):
        entries = []
        for n, (base, mine) in {1000: (100, 25), 10000: (100, 400), 100: (100, 1)}.items():
            entries += [entry(f"std_sort/random/{n}", base, "median"), entry(f"mine/random/{n}", mine, "median")]
        entries += [entry("std_sort/random/1000/int64", 10, "median"), entry("mine/random/1000/int64", 20, "median")]
        with tempfile.TemporaryDirectory() as tmp:
            run = suite_file(entries, tmp)
        contenders, patterns, table = ratio_table(run, "int32", "warm", 1000)
        self.assertEqual((contenders, patterns), (["std_sort", "mine"], ["random"]))
        self.assertAlmostEqual(table[("mine", "random")], 1.0)  # 0.25 and 4; size 100 left out
        _, types, summary = type_summary(run, "warm", 1000)
        self.assertEqual(types, ["int32", "int64"])
        self.assertAlmostEqual(summary[("mine", "int64")], 2.0)
        self.assertEqual(ratios_to({("a", "p", 1000): 5.0}), {})  # nothing to relate to

    def test_thread_table_against_the_best_sequential(self):
        entries = [entry("par/random/1000000/threads:1", 80e6, "median"),
                   entry("par/random/1000000/threads:2", 40e6, "median"),
                   entry("fast/random/1000000", 20e6, "median"), entry("slow/random/1000000", 90e6, "median")]
        with tempfile.TemporaryDirectory() as tmp:
            counts, rows = thread_rows(suite_file(entries, tmp), "random")
        self.assertEqual(counts, [1, 2])
        self.assertEqual(rows, [("par", 1000000, {1: 80e6, 2: 40e6}, ("fast", 20e6))])

    def test_report_comparison_says_which_side_is_slower(self):
        new = [entry("a/r/1000", ns) for ns in range(200, 210)] + [entry("b/r/1000", ns) for ns in range(100, 110)]
        old = [entry("a/r/1000", ns) for ns in range(100, 110)] + [entry("b/r/1000", ns) for ns in range(100, 110)]
        with tempfile.TemporaryDirectory() as tmp:
            rows, fewest = compared(suite_file(new, tmp, "new.json"), suite_file(old, tmp, "old.json"))
        by_name = {str(n): (ratio, p) for ratio, p, n in rows}
        self.assertEqual(fewest, 10)
        self.assertAlmostEqual(by_name["a/r/1000"][0], 204.5 / 104.5)  # new over old: a got slower
        self.assertLess(by_name["a/r/1000"][1], benchdata.ALPHA)
        self.assertEqual(by_name["b/r/1000"][0], 1.0)
        self.assertGreater(by_name["b/r/1000"][1], benchdata.ALPHA)
        self.assertAlmostEqual(gmean(r for r, _, _ in rows), (204.5 / 104.5) ** 0.5)

    def test_report_shows_who_does_not_take_a_type(self):
        entries = [entry(f"{c}/random/1000{t}", 10.0, "median") for c in ("std_sort", "vq") for t in ("", "/int64")]
        entries += [entry("std_sort/random/1000/rec1k", 10.0, "median")]
        with tempfile.TemporaryDirectory() as tmp:
            run = suite_file(entries, tmp, context={"contenders": "std_sort,vq", "types": "int32,int64,rec1k"})
        page = ratio_tables(run)
        self.assertIn("Not run on rec1k (they do not take it): vq.", page)
        self.assertNotIn("Not run on int64", page)

    def test_report_verdict_best_over_patterns_and_fastest_on_random(self):
        # std_sort 100 ns everywhere; a half of it on both patterns (0.50);
        # b a quarter on random but eight times on ascending: sqrt(0.25 * 8) = 1.41.
        entries = []
        for n in (1000, 10000):
            for p in ("random", "ascending"):
                entries += [entry(f"std_sort/{p}/{n}", 100.0, "median"), entry(f"a/{p}/{n}", 50.0, "median")]
            entries += [entry(f"b/random/{n}", 25.0, "median"), entry(f"b/ascending/{n}", 800.0, "median")]
        entries.append(entry("a/random/10/kv16", 1.0, "median"))  # below 1,000 elements: not counted
        with tempfile.TemporaryDirectory() as tmp:
            run = suite_file(entries, tmp, context={"contenders": "std_sort,a,b", "patterns": "random,ascending"})
        self.assertEqual(verdict(run), [
            "On int32, a is the best over all 2 patterns at 1,000 elements and more (0.50 of std_sort's time, "
            "geometric mean); on random input at 10,000 elements the fastest is b (25 ns), and the runner-up "
            "over all patterns is std_sort (1.00)."])


class Views(unittest.TestCase):
    """The report's views and the advice's check, on hand-made documents:
    the figures they print, and which is which."""

    def test_advice_view_keeps_ratio_and_regret_apart(self):
        advice = {"pick": "pdqsort", "ratio": 0.42, "interval": [0.4, None], "reference": "std_sort",
                  "runner_up": "spreadsort", "tie": True, "heldout_best": "spreadsort", "regret": 1.03,
                  "why": {"nearest_pattern": "random", "pick_comparisons_per_element": 18.7,
                          "runner_up_comparisons_per_element": 0},
                  "candidates": ["std_sort", "pdqsort", "spreadsort"], "constraints": {"stable": False},
                  "file": "data.int32", "type": "int32", "training_arrays": 5, "size": 1000, "heldout_arrays": 5,
                  "command": "sortbench-advise --input=data.int32", "interval_processes": 5}
        with tempfile.TemporaryDirectory() as tmp:
            path = Path(tmp) / "advice.json"
            path.write_text(json.dumps(advice))
            page = advice_section(path)
        self.assertIn("pdqsort: 0.420 of std_sort on the held-out arrays (95%: 0.400 to inf, over 5 processes)", page)
        self.assertIn("spreadsort: a tie, the intervals cross", page)
        self.assertIn("spreadsort (the pick takes 1.030 of its time)", page)

    def test_growth_view_names_tight_and_loose_fits(self):
        def series(pattern, follows, tight):
            return {"contender": "shell_sort", "pattern": pattern,
                    "comparisons": [{"size": 1000, "count": 12000}, {"size": 10000, "count": 200000}],
                    "comparisons_fit": {"follows": follows, "tight": tight}}
        document = {"series": [series("ascending", "n log n", True), series("random", "n^2", False),
                               series("zipf", None, False)]}
        with tempfile.TemporaryDirectory() as tmp:
            path = Path(tmp) / "growth.json"
            path.write_text(json.dumps(document))
            [(contender, figure)] = growth_charts(path, go)
        self.assertEqual(contender, "shell_sort")
        self.assertEqual([t.name for t in figure.data], ["ascending: n log n", "random: < n^2", "zipf: over n^2"])
        self.assertEqual(list(figure.data[0].y), [12, 20])

    def test_regret_is_the_pick_over_the_best(self):
        times = {"best": [100.0] * 10, "pick": [110.0] * 10}
        self.assertAlmostEqual(regret(times, "pick", "best"), 1.1)
        self.assertEqual(regret(times, "best", "best"), 1.0)

    def test_ab_passes_every_input_flag_to_the_rounds(self):
        # A stand-in sortbench-rounds that fails, printing its arguments as
        # its last line, which ab.py repeats.
        with tempfile.TemporaryDirectory() as tmp:
            fake = Path(tmp) / "sortbench-rounds"
            fake.write_text(f"#!{sys.executable}\nimport sys\nsys.exit(' '.join(sys.argv[1:]))\n")
            fake.chmod(0o755)
            flags = ["--input=data.bin", "--input_type=int64", "--input_sizes=100,200", "--input_text",
                     "--filter=data/100", "--full_grid", "--contender=lib.so"]
            r = subprocess.run([sys.executable, str(Path(benchdata.REPO) / "tools" / "ab.py"), "a", "b", *flags,
                                f"--build={tmp}"], capture_output=True, text=True)
        self.assertEqual(r.returncode, 1)
        for flag in flags + ["--group=a,b"]:
            self.assertIn(flag, r.stderr)


class Processes(unittest.TestCase):
    def test_a_tie_within_the_layout_noise_says_so(self):
        # The interval already holds the placements: one wholly above 1 is
        # a verdict even where one pair of builds could lie that far apart.
        slower = benchdata.ProcessesRatio(1.01, 1.005, 1.015, 36, 3)
        self.assertEqual(ab_verdict(slower, None), "B slower")
        self.assertEqual(ab_verdict(slower, 0.012), "B slower")
        tie = benchdata.ProcessesRatio(1.01, 0.995, 1.025, 36, 3)
        self.assertEqual(ab_verdict(tie, 0.012), PLACEMENT_TIE)
        self.assertEqual(ab_verdict(tie, 0.005), "tie")
        self.assertEqual(ab_verdict(tie, None), "tie")
        # The noise is the farthest a process's A'/A median fell from 1.
        case = benchdata.RoundsCase("random/1000", ["a", "b", "a_placed"], "cpu", [[10.0] * 16, [10.1] * 16,
                                    [10.0] * 8 + [9.7] * 8], [[1.0] * 16] * 3, [[1.0] * 16] * 3,
                                    [[1.0] * 16] * 3, processes=[8, 8])
        self.assertAlmostEqual(layout_noise(case), 0.03)

    def test_interval_over_processes_by_hand(self):
        # Three processes whose rounds all give 1.00, 1.02 and 1.04. The logs
        # 0, 0.0198026, 0.0392207 have mean 0.0196744 and sd 0.0196102, so
        # sem 0.0113220; t(0.975, 2) = 4.302653 puts the ends at
        # exp(0.0196744 -+ 0.0487146) = 0.971376 and 1.070783. The pooled
        # rounds' interval (1.00 to 1.04) is inside it at both ends.
        r = processes_ratio([([100.0] * 12, [100.0 * k] * 12) for k in (1.00, 1.02, 1.04)])
        self.assertAlmostEqual(r.ratio, math.exp(0.0196744), places=6)
        self.assertAlmostEqual(r.low, 0.971376, places=5)
        self.assertAlmostEqual(r.high, 1.070783, places=5)
        self.assertEqual((r.processes, r.pairs), (3, 36))
        # Processes that agree exactly leave the pooled rounds' interval.
        spread = [100.0 + i for i in range(12)]
        same = processes_ratio([(spread, spread[::-1])] * 3)
        pooled = median_ratio(spread * 3, spread[::-1] * 3)
        self.assertEqual((same.low, same.high), (pooled.low, pooled.high))
        # One process is its own interval, and says so.
        one, alone = processes_ratio([(spread, spread[::-1])]), median_ratio(spread, spread[::-1])
        self.assertEqual((one.ratio, one.low, one.high), (alone.ratio, alone.low, alone.high))
        self.assertEqual(one.rests_on(), "one process's interval")

    def test_a_shift_between_processes_is_covered_only_over_processes(self):
        # Each process has its own shift (its layout), and rounds within it
        # scatter by 0.2% about it: the true ratio, 1, lies outside any one
        # process's interval and inside the interval over them.
        shifts = [0.97, 1.01, 1.03, 0.99, 1.0]
        pairs = [([100.0] * 20, [100.0 * s * (1 + (i % 5 - 2) / 1000) for i in range(20)]) for s in shifts]
        first = median_ratio(*pairs[0])
        self.assertFalse(first.low <= 1 <= first.high)
        combined = processes_ratio(pairs)
        self.assertTrue(combined.low <= 1 <= combined.high, combined)
        self.assertEqual(combined.verdict(), "tie")


if __name__ == "__main__":
    unittest.main()
