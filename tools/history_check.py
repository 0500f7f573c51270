#!/usr/bin/python3
"""How often the history's detector is wrong on this machine: false alarms,
steps missed, commits misplaced, and bisection's builds.

Measures first. For each size of random int32 (10^4, 10^5, 10^6), --points
processes of sortbench-rounds (20), each one process of its own, time side
by side: std_sort (the series' reference); the heapsort example built
unslowed (libslowed_0pct.so); and, at placement K (K = 1 to 6 changing with
the process), the same source with its code moved (libslowed_0pct.layoutK.so:
a commit that moves code without changing speed) and the example slowed by
1%, 2% and 5% of its own time (libslowed_1pct.layoutK.so ...). Each process
gives one point of every build: its ratio to std_sort, and its paired ratio
to the unslowed build with its interval.

Then assembles series of --commits commits (30) from those points,
--series of them (50) per size and step, and runs the detector on each. A
commit is one build, and a build has one placement: code placement can move
a sort by more than the steps looked for, and it stays with the build, so a
commit's figure is that of processes at its placement. Each commit moves
the sort's code with probability --moves (1/2), to a placement drawn anew,
else keeps the one before: a commit that touches only tests or docs. The
commits before a step are the unslowed build, those from the step (at a
random commit) on the slowed one. Two ways of timing a commit are
assembled: one placement, three processes of it (what sweep does), and
three placements, a process each, drawn anew at every commit (what
sweep --layouts 3 does). And two series of each: a commit's ratio to
std_sort, and its ratio to the unslowed build in the same rounds (as a
sweep times each commit beside the first of its range). Prints:
  - each slowed build's slowdown against the moved build at its own
    placement, over all processes (the calibration);
  - false alarms per series per commit, on series that hold no step;
  - the share of steps found at the true commit +-1, per size of step;
  - how far the commit found lies from the true one;
  - bisection of a 5% step among 32 commits, each midpoint one process's
    paired ratio to GOOD (processes of their own, --midpoints a size, of
    three builds: the unslowed, the moved and the 5% one): how many builds
    it took, how often it named the commit;
  - each step measured directly, as the sweep measures a build beside the
    one before it: how often moved code is called a change, and how often
    each step is found;
  - and first, what a commit's figure rests on: the rounds a process held,
    and the moved build's spread between processes and within one.

The default budget (8 s a process) gives 10^4 and 10^5 the rounds a
history gives them. A sort at 10^6 needs some fifty rounds a process, a
minute or two each on 2 vCPUs: --sizes 1000000 --budget_s 60 measures it
as a history there should be timed.

With --aligned every build is the one made with -falign-functions=64
-falign-loops=64 (libslowed_0pct_aligned.so ...): what a history whose
build command aligns its code sees.

Usage: tools/history_check.py [--points N] [--midpoints N] [--sizes LIST] [--series N] [--commits N] [--busy K]
                              [--budget_s S] [--moves SHARE] [--aligned] [--build DIR] [--json OUT]
                              [--load JSON]
"""

import json
import math
import statistics
import subprocess
import tempfile
import time
from pathlib import Path

import numpy as np

from benchdata import (ArgumentParser, MedianRatio, ToolError, build_dir, busy_loops, executable, load_rounds, median,
                       median_ratio, processes_ratio, run_tool)
from timeline import bisection
from timeline.changes import SEED, changes_of
from timeline.series import Point, Series, SeriesKey

STEPS = (1, 2, 5)
LAYOUT_COPIES = 6          # the placement copies the build makes of each library
BISECT_COMMITS = 32
BISECT_TRIALS = 100
BISECT_MIN_STEP = 0.01     # history.py bisect's default --min_step
BISECT_BUILDS = math.ceil(math.log2(BISECT_COMMITS)) + 1   # what a trial may take to count as named
# A sweep times each commit in three processes (its default) and records
# their figure: a commit of the assembled series is the geometric mean of
# three measured points of one build.
PROCESSES_PER_COMMIT = 3
# Each process's rounds run until every ratio is known to +-0.5% (or the
# budget ends): the history's own default, narrow enough for a 2% step.
WIDTH = 0.5
# At 10^6 a round of the six builds takes half a second: ten rounds, not
# the rounds' default twenty, keep the 10^6 processes near the budget.
MIN_ROUNDS = 10
# A commit of a sort's history moves its code, or touches only what is
# around it, as often as not: an assumption, --moves to change it.
MOVES = 0.5
# The series the detector runs on: a commit's ratio to std_sort, and its
# ratio to the range's first build in the same rounds (sweep records both).
FIGURES = {"reference": "ratio to std_sort", "anchored": "ratio to the first build"}
# Three placement copies of a commit's build, a process each, cost what
# sweep's three processes of one build do.
PLACED = 3


def libraries(build, placement, variant=""):
    """The builds one process times: the unslowed one as built, the others
    at `placement` (1 to LAYOUT_COPIES); variant "_aligned": those built
    with their code on 64-byte lines."""
    out = {"unslowed": build / f"libslowed_0pct{variant}.so",
           "moved": build / f"libslowed_0pct{variant}.layout{placement}.so"}
    out.update({f"slowed_{p}pct": build / f"libslowed_{p}pct{variant}.layout{placement}.so" for p in STEPS})
    for path in out.values():
        if not path.is_file():
            raise ToolError(f"{path} is missing: build with the benchmarks on (make)")
    return out


def rounds_of(build, size, placement, budget_s, variant, names, reference):
    """One process of sortbench-rounds timing the builds `names` at a
    placement (after std_sort where `reference`): its case."""
    members = libraries(build, placement, variant)
    group = (["std_sort"] if reference else []) + names
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "rounds.json"
        run = subprocess.run([str(executable(build, "sortbench-rounds")), "--group=" + ",".join(group),
                              *[f"--contender={n}={members[n]}" for n in names], f"--filter=^random/{size}$",
                              f"--budget_s={budget_s}", f"--width={WIDTH}", f"--min_rounds={MIN_ROUNDS}",
                              "--processes=1", f"--out={out}"],
                             capture_output=True, text=True)
        if run.returncode != 0:
            raise ToolError(f"sortbench-rounds: {(run.stderr.strip() or 'failed').splitlines()[-1]}")
        _, cases = load_rounds(out)
    return cases[0]


def one_process(build, size, k, budget_s, variant):
    """One point of every build at one size: {"placement": K, member:
    {"to_reference": r, "to_unslowed": [ratio, low, high], "rounds": [the
    unslowed build's ns, the member's]}}."""
    placement = k % LAYOUT_COPIES + 1
    names = ["unslowed", "moved"] + [f"slowed_{p}pct" for p in STEPS]
    case = rounds_of(build, size, placement, budget_s, variant, names, True)
    base = case.members.index("unslowed")
    point = {"placement": placement}
    for n in names:
        m = case.members.index(n)
        paired = median_ratio(case.ns[base], case.ns[m])
        point[n] = {"to_reference": case.ratio(m).ratio, "to_unslowed": [paired.ratio, paired.low, paired.high],
                    "rounds": [case.ns[base], case.ns[m]]}
    return point


def bisect_process(build, size, k, budget_s, variant):
    """A bisection's midpoints at one size, nearer what bisect times (GOOD
    and one build, no reference) than the six builds of a point: the moved
    build's and the 5% build's paired ratio to the unslowed one, [ratio,
    low, high], in one process of those three."""
    names = ["unslowed", "moved", "slowed_5pct"]
    case = rounds_of(build, size, k % LAYOUT_COPIES + 1, budget_s, variant, names, False)
    out = {}
    for n in names[1:]:
        paired = median_ratio(case.ns[0], case.ns[case.members.index(n)])
        out[n] = [paired.ratio, paired.low, paired.high]
    return out


def measure(args, build):
    """({size: [point]}, {size: [bisection midpoints]}), each from a process
    of its own."""
    variant = "_aligned" if args.aligned else ""
    libraries(build, LAYOUT_COPIES, variant)  # refused before the first process if the build lacks them
    points, midpoints = {}, {}
    started = time.monotonic()
    total = len(args.sizes) * (args.points + args.midpoints)
    done = 0
    with busy_loops(args.busy):
        for size in args.sizes:
            points[str(size)], midpoints[str(size)] = [], []
            for k in range(args.points + args.midpoints):
                if k < args.points:
                    points[str(size)].append(one_process(build, size, k, args.budget_s, variant))
                else:
                    midpoints[str(size)].append(bisect_process(build, size, k, args.budget_s, variant))
                done += 1
                spent = time.monotonic() - started
                print(f"\r{done}/{total} processes, about {spent / done * (total - done):.0f} s left ",
                      end="", flush=True)
    print(f"\nmeasured in {time.monotonic() - started:.0f} s")
    return points, midpoints


def series_of(values):
    key = SeriesKey("", "", "heapsort", "", "ratio_to:std_sort")
    return Series(key, [Point(str(i), "", v, None, None, 1, False) for i, v in enumerate(values)])


def at_placements(processes, member, figure):
    """{placement: [the member's figure in each process at it]}: its ratio
    to the reference, or (figure "anchored") to the unslowed build, as a
    sweep's builds are timed beside its first."""
    out = {}
    for p in processes:
        out.setdefault(p["placement"], []).append(p[member]["to_reference"] if figure == "reference"
                                                  else p[member]["to_unslowed"][0])
    return out


def commit_value(rng, pools, placements):
    """One commit's figure, the geometric mean of PROCESSES_PER_COMMIT points
    of its build: all at its one placement, or one at each of several."""
    if len(placements) == 1:
        drawn = rng.choice(pools[placements[0]], PROCESSES_PER_COMMIT)
    else:
        drawn = [rng.choice(pools[k]) for k in placements]
    return float(np.exp(np.mean(np.log(drawn))))


def assemble(rng, unchanged, stepped, commits, placed, moves):
    """A series with a step at a random commit (stepped None: no step):
    (values, step). `unchanged` and `stepped` map a placement to a build's
    points there; `placed` is how many placements a commit is timed at."""
    step = None if stepped is None else int(rng.integers(3, commits - 2))  # three points a side at least
    values, placements = [], None
    for i in range(commits):
        if placements is None or rng.random() < moves:
            placements = [int(k) for k in rng.choice(sorted(unchanged), placed, replace=False)]
        pools = stepped if step is not None and i >= step else unchanged
        values.append(commit_value(rng, pools, placements))
    return values, step


def detector_rates(points, series, commits, placed, moves, figure):
    """Per size: false alarms, steps found and their distance, each commit
    timed at `placed` placements, on series of `figure`."""
    rng = np.random.default_rng(SEED)
    out = {}
    for size, processes in points.items():
        unchanged = at_placements(processes, "moved", figure)
        row = {"false_alarms": 0, "no_step_commits": series * commits}
        for _ in range(series):
            values, _ = assemble(rng, unchanged, None, commits, placed, moves)
            row["false_alarms"] += len(changes_of(series_of(values)))
        for p in STEPS:
            stepped = at_placements(processes, f"slowed_{p}pct", figure)
            found, distances = 0, []
            for _ in range(series):
                values, step = assemble(rng, unchanged, stepped, commits, placed, moves)
                ups = [c.index for c in changes_of(series_of(values)) if c.ratio > 1]
                if ups:
                    nearest = min(ups, key=lambda i: abs(i - step))
                    distances.append(abs(nearest - step))
                    found += abs(nearest - step) <= 1
            row[f"step_{p}pct"] = {"found": found, "series": series, "distances": distances}
        out[size] = row
    return out


def direct_rates(points):
    """Per size, the sweep's other figure: each build against the one before
    it in the same process (here: against the unslowed build). A no-change
    step is the moved copy against the unslowed build; it is a false alarm
    where its interval lies wholly on one side of 1. A step is found where
    the slowed build's interval lies wholly above 1."""
    out = {}
    for size, processes in points.items():
        moved = [p["moved"]["to_unslowed"] for p in processes]
        row = {"false_alarms": sum(low > 1 or high < 1 for _, low, high in moved), "steps": len(moved)}
        for p in STEPS:
            row[f"step_{p}pct"] = sum(q[f"slowed_{p}pct"]["to_unslowed"][1] > 1 for q in processes)
        out[size] = row
    return out


def paired(entry):
    ratio, low, high = entry
    return MedianRatio(ratio, low, high, 0)


def bisection_rates(midpoints, trials=BISECT_TRIALS, commits=BISECT_COMMITS):
    """Per size: a 5% step among `commits` commits after GOOD, each midpoint
    one measured process's paired ratio to GOOD."""
    rng = np.random.default_rng(SEED)
    out = {}
    for size, processes in midpoints.items():
        unchanged = [paired(p["moved"]) for p in processes]
        slowed = [paired(p["slowed_5pct"]) for p in processes]
        named, builds = 0, []
        for _ in range(trials):
            first = int(rng.integers(0, commits))
            result = bisection.search(commits, lambda i: slowed[rng.integers(len(slowed))] if i >= first
                                      else unchanged[rng.integers(len(unchanged))], BISECT_MIN_STEP)
            builds.append(len(result.measured) + 1)
            named += result.one_commit and result.first_slow == first and builds[-1] <= BISECT_BUILDS
        out[size] = {"named": named, "trials": trials, "builds": builds}
    return out


def calibration(points):
    out = {}
    for size, processes in points.items():
        for p in STEPS:
            r = processes_ratio([(q["moved"]["rounds"][1], q[f"slowed_{p}pct"]["rounds"][1]) for q in processes])
            out.setdefault(size, {})[p] = (r.ratio, r.low, r.high)
    return out


def spread(points):
    """Per size, what a commit's figure rests on: the rounds each process
    held, and the moved build's paired ratio to the unslowed one, how far it
    moved between processes (sd of the logs) against what each process's own
    interval said (the width of its logs over 2 x 1.96, the median). The
    moved copy lies at a placement of the process's own, so the spread
    between holds the placements' too. Where the two agree, the spread
    falls with the square root of the rounds, and the budget a size needs
    follows from them."""
    out = {}
    for size, processes in points.items():
        rounds = [len(p["moved"]["rounds"][1]) for p in processes]
        moved = [p["moved"]["to_unslowed"] for p in processes]
        out[size] = {"rounds": [min(rounds), median(rounds), max(rounds)],
                     "between": statistics.stdev(math.log(r) for r, _, _ in moved),
                     "within": median([math.log(high / low) / (2 * 1.96) for _, low, high in moved])}
    return out


def report(points, detector, bisected, calibrated, direct, spreads, commits, moves):
    print("| size | rounds a process held, median (fewest..most) | the moved build's ratio to the unslowed: "
          "sd between processes | within one (its interval's, median) |")
    print("|---:|---|---:|---:|")
    for size, row in spreads.items():
        fewest, mid, most = row["rounds"]
        print(f"| {size} | {mid:g} ({fewest}..{most}) | {row['between']:.2%} | {row['within']:.2%} |")
    print()
    print("| size | slowed by | measured against the moved build at its placement, over every process "
          "(95% interval) |")
    print("|---:|---:|---|")
    for size, row in calibrated.items():
        for p, (r, low, high) in row.items():
            print(f"| {size} | {p}% | {100 * (r - 1):+.2f}% ({100 * (low - 1):+.2f}..{100 * (high - 1):+.2f}) |")
    print()
    print("| size | series | a commit timed at | false alarms per series per commit | "
          + " | ".join(f"{p}% steps found (+-1)" for p in STEPS) + " | distance of the commit found, median (largest) |")
    print("|---:|---|---|---:|" + "---:|" * len(STEPS) + "---|")
    for size in points:
        for (figure, placed), rates in detector.items():
            row = rates[size]
            found = [row[f"step_{p}pct"] for p in STEPS]
            distances = [d for f in found for d in f["distances"]]
            print(f"| {size} | {FIGURES[figure]} | {'one placement' if placed == 1 else f'{placed} placements'} | "
                  f"{row['false_alarms']}/{row['no_step_commits']} "
                  f"({row['false_alarms'] / row['no_step_commits']:.2%}) | "
                  + " | ".join(f"{f['found']}/{f['series']} ({f['found'] / f['series']:.0%})" for f in found)
                  + f" | {f'{median(distances):g}' if distances else '-'} ({max(distances) if distances else '-'}) |")
    print(f"(series of {commits} commits, each the figure of {PROCESSES_PER_COMMIT} processes: of one build, its "
          f"code moved at {moves:.0%} of commits, or of {PLACED} placement copies drawn anew at every commit)")
    print()
    print(f"Bisection of a 5% step among {BISECT_COMMITS} commits, each midpoint one process of a build at a "
          f"placement of its own, against GOOD's:")
    print(f"| size | named (the true commit in {BISECT_BUILDS} builds or fewer) | builds, median (largest) |")
    print("|---:|---:|---|")
    for size, b in bisected.items():
        print(f"| {size} | {b['named']}/{b['trials']} | {median(b['builds'])} ({max(b['builds'])}) |")
    print()
    print("Each step measured directly, in one process (a build against the one before it):")
    print("| size | code moved, called a change | " + " | ".join(f"{p}% step found" for p in STEPS) + " |")
    print("|---:|---:|" + "---:|" * len(STEPS))
    for size, row in direct.items():
        n = row["steps"]
        print(f"| {size} | {row['false_alarms']}/{n} | " + " | ".join(f"{row[f'step_{p}pct']}/{n}" for p in STEPS)
              + " |")


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("--points", type=int, default=20)
    # A trial's midpoints are drawn from these: ten a size name the commit
    # as often as twenty did (stored runs, resampled both ways), and keep
    # the check's run beside two busy loops within twenty minutes.
    ap.add_argument("--midpoints", type=int, default=10)
    ap.add_argument("--sizes", default="10000,100000,1000000")
    ap.add_argument("--series", type=int, default=50)
    ap.add_argument("--commits", type=int, default=30)
    ap.add_argument("--busy", type=int, default=0)
    ap.add_argument("--budget_s", type=int, default=8, help="each process's, in whole seconds")
    ap.add_argument("--moves", type=float, default=MOVES, help="the share of commits that move the sort's code")
    ap.add_argument("--aligned", action="store_true",
                    help="the builds made with their functions and loops on 64-byte lines")
    ap.add_argument("--build")
    ap.add_argument("--json", type=Path)
    ap.add_argument("--load", type=Path, help="the points of an earlier --json, instead of measuring")
    args = ap.parse_args()
    try:
        args.sizes = [int(s) for s in args.sizes.split(",")]
    except ValueError:
        raise ToolError(f"--sizes takes whole numbers separated by commas, not '{args.sizes}'") from None
    if (args.points < 2 * LAYOUT_COPIES or args.midpoints < 1 or args.commits < 8 or args.series < 1
            or not 0 <= args.moves <= 1):
        raise ToolError(f"--points needs {2 * LAYOUT_COPIES} or more (two at each placement), --midpoints 1 or more, "
                        "--commits 8 or more, --series 1 or more, --moves from 0 to 1")
    if args.load:
        # A file from before the midpoints were timed apart: the points' own.
        loaded = json.loads(args.load.read_text())
        points = loaded["points"]
        midpoints = loaded.get("midpoints")
        if midpoints is None:
            print(f"{args.load} holds no midpoints of their own: bisection draws on the points' six-build processes")
            midpoints = {size: [{n: p[n]["to_unslowed"] for n in ("moved", "slowed_5pct")} for p in processes]
                         for size, processes in points.items()}
    else:
        points, midpoints = measure(args, build_dir(args.build))
    # Copies built with pads drawn from the commit's name lie elsewhere at
    # every commit: their placements never carry over.
    detector = {(figure, placed): detector_rates(points, args.series, args.commits, placed,
                                                 args.moves if placed == 1 else 1, figure)
                for figure in FIGURES for placed in (1, PLACED)}
    bisected = bisection_rates(midpoints)
    calibrated = calibration(points)
    direct = direct_rates(points)
    spreads = spread(points)
    report(points, detector, bisected, calibrated, direct, spreads, args.commits, args.moves)
    if args.json:
        by_figure = {figure: {placed: detector[(figure, placed)] for placed in (1, PLACED)} for figure in FIGURES}
        args.json.write_text(json.dumps({"points": points, "midpoints": midpoints, "detector": by_figure["reference"],
                                         "detector_anchored": by_figure["anchored"], "bisection": bisected,
                                         "calibration": calibrated, "direct": direct, "spread": spreads}, indent=1))


if __name__ == "__main__":
    run_tool(main)
