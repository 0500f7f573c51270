"""Commits of a contender library built and timed: a sweep over a range,
each commit beside the reference and beside the commit before it; the
confirmation of a change; the bisection of a slowdown; a head against its
merge base. Each builds with the user's command in worktrees (builds.py)
and times with the programs (timing.py)."""

import hashlib
import math
import sys
import time
from dataclasses import dataclass
from pathlib import Path

from benchdata import ToolError
from timeline import bisection
from timeline.builds import Built
from timeline.sources import machine_of, now, this_machine
from timeline.store import Figure, Record
from timeline.timing import Timed, counted

# The paired ratio of a build to the commit before it, measured directly.
STEP = "ratio_to:previous"


def anchored(name, anchor):
    """The figure of a sweep's builds against its first one: heapsort's
    ratio to the build of commit 1a2b3c4d5e is ratio_to:heapsort@1a2b3c4d5e. A
    series of it belongs to one sweep's first commit and no other.

    It is the series that finds a step of a few per cent. The ratio to
    std_sort moves with the shared host's phases, in which a sort and
    std_sort slow by different amounts, by more than such a step; two
    builds of the same sort in the same rounds slow alike."""
    return f"ratio_to:{name}@{anchor.short}"


def library_name(path):
    """The contender's name from its library's file: libheapsort.so -> heapsort."""
    name = Path(path).name
    name = name[3:] if name.startswith("lib") else name
    return name.split(".so")[0] or name


@dataclass
class Options:
    build: Path              # sortbench's build directory
    name: str                # the contender's name in the series
    case_filter: str
    budget_s: float
    processes: int           # with layouts, one a placement
    reference: str = "std_sort"
    width: float = None      # the rounds' --width, in per cent


def progress(text):
    print(text, file=sys.stderr, flush=True)


def clock(seconds):
    return f"{seconds / 60:.1f} min" if seconds >= 90 else f"{seconds:.0f} s"


def sweep(commits, builder, store, options, command):
    """Builds and times every commit of a range, one record a commit (a
    build that fails is recorded as failed). Returns (points, failures)."""
    previous, first, pending, points = None, None, [], 0
    started = time.monotonic()
    for i, commit in enumerate(commits):
        built = builder.build(commit)
        if built.library is None:
            # Kept back until a build succeeds: a command that fails on every
            # commit leaves the store as it was.
            digest = hashlib.sha256(f"{commit.sha}|{command}|{now()}".encode()).hexdigest()
            pending.append(Record(f"build_failed:{digest}", this_machine(), now(), command, "build_failed", None,
                                  {options.name: commit.sha}, i, f"build failed: {built.failure}"))
            said = f"build failed ({built.failure[:80]})"
        else:
            members = [(options.name, built.timed)]
            if previous is not None:
                members.append((f"{options.name}_previous", previous.timed))
            if first is not None and first is not previous:
                members.append((f"{options.name}_first", first.timed))
            timed = Timed(options.build, members, options.case_filter, options.budget_s, options.processes,
                          options.reference, options.width)
            figures = timed.figures(options.name)
            figure = anchored(options.name, (first or built).commit)
            for case in timed.cases:
                step = None if previous is None else timed.ratio(case, f"{options.name}_previous", options.name)
                if step is not None:
                    figures.append(Figure(options.name, case.name, STEP, step.ratio, step.low, step.high, step.pairs))
                if first is None:  # the first build against itself: 1, by definition
                    figures.append(Figure(options.name, case.name, figure, 1.0, 1.0, 1.0, 0))
                else:
                    r = step if first is previous else timed.ratio(case, f"{options.name}_first", options.name)
                    figures.append(Figure(options.name, case.name, figure, r.ratio, r.low, r.high, r.pairs))
            figures += counted(options.build, options.name, built.library, options.case_filter)
            context = timed.doc.get("context", {})
            record = Record(hashlib.sha256(timed.raw + commit.sha.encode()).hexdigest(), machine_of(context), now(),
                            command, "sweep", context.get("git_commit"), {options.name: commit.sha}, i)
            for failed in pending:
                store.add(failed, [])
            pending = []
            store.add(record, figures)
            points += 1
            previous = built
            first = first or built
            said = ", ".join(f"{f.case} {f.value:.4f}" for f in figures if f.figure == f"ratio_to:{options.reference}")
        spent = time.monotonic() - started
        left = spent / (i + 1) * (len(commits) - i - 1)
        progress(f"[{i + 1}/{len(commits)}] {commit.short} {commit.subject[:40]}: {said}; "
                 f"{clock(spent)} spent, about {clock(left)} left")
    if points == 0:
        raise ToolError(f"the build failed at every one of the {len(commits)} commits "
                        f"(the last: {built.failure[:200]}); nothing recorded")
    return points, len(commits) - points


@dataclass
class Side:
    name: str
    built: Built


def build_or_fail(builder, commit):
    built = builder.build(commit)
    if built.library is None:
        raise ToolError(f"{commit.short} does not build: {built.failure[:200]}")
    return built


def side_by_side(options, before, after):
    """after against before in paired rounds, with both sides' counts:
    [(case name, ratio, counts before, counts after)]."""
    timed = Timed(options.build, [(before.name, before.built.timed), (after.name, after.built.timed)],
                  options.case_filter, options.budget_s, options.processes, width=options.width)
    counts = [{(f.case, f.figure): f.value for f in counted(options.build, side.name, side.built.library,
                                                            options.case_filter)} for side in (before, after)]
    out = []
    for case in timed.cases:
        def of(c):
            return {k[1]: v for k, v in c.items() if k[0] == case.name}
        out.append((case, case.ratio(1), of(counts[0]), of(counts[1])))
    return out


def count_change(before, after):
    """'comparisons 1000 -> 1200' for each count that differs; exact, so
    any difference is a change."""
    return [f"{k} {before[k]:.0f} -> {after[k]:.0f}" for k in sorted(before) if k in after and before[k] != after[k]]


def confirm(repo, builder, options, after_rev, before_rev=None):
    """Rebuilds both sides of a change and times them in paired rounds:
    [(case, ratio, count changes, verdict)] and the overall word."""
    after = repo.commit(after_rev)
    before = repo.commit(before_rev) if before_rev else repo.parent(after)
    sides = [Side(f"{options.name}_before", build_or_fail(builder, before)),
             Side(options.name, build_or_fail(builder, after))]
    rows = []
    for case, r, cb, ca in side_by_side(options, *sides):
        changed = count_change(cb, ca)
        timed = {"B slower": "slower", "B faster": "faster"}.get(r.verdict())
        said = [f"{timed} in time"] if timed else []
        said += [f"{c} (exact)" for c in changed]
        rows.append((case, r, changed, "confirmed: " + "; ".join(said) if said else "not reproduced"))
    word = "confirmed" if any(row[3] != "not reproduced" for row in rows) else "not reproduced"
    return before, after, rows, word


def bisect(repo, builder, options, good_rev, bad_rev, min_step):
    """The first slow commit after GOOD up to BAD: (commits, Outcome, builds)."""
    good, bad = repo.commit(good_rev), repo.commit(bad_rev)
    commits = repo.between(good, bad)
    if not commits:
        raise ToolError(f"no commit after {good.short} up to {bad.short}: is BAD after GOOD?")
    good_side = Side(f"{options.name}_good", build_or_fail(builder, good))
    progress(f"bisecting {len(commits)} commits after {good.short}: at most "
             f"{math.ceil(math.log2(len(commits))) + 1} builds, one more if the last is the one")

    def measure(i):
        side = Side(options.name, build_or_fail(builder, commits[i]))
        rows = side_by_side(options, good_side, side)
        case, r = max(((c, r) for c, r, _, _ in rows), key=lambda cr: cr[1].low)
        progress(f"  {commits[i].short} {commits[i].subject[:40]}: {r.ratio:.4f} ({r.low:.4f}..{r.high:.4f}) "
                 f"of GOOD on {case.name}: {'slow' if bisection.slow(r, min_step) else 'as GOOD'}")
        return r

    return commits, bisection.search(len(commits), measure, min_step), builder.count


def compare(repo, builder, options, base_rev, head_rev):
    """HEAD against its merge base with BASE: (base, head, rows)."""
    head = repo.commit(head_rev)
    base = repo.merge_base(repo.commit(base_rev), head)
    sides = [Side(f"{options.name}_base", build_or_fail(builder, base)),
             Side(options.name, build_or_fail(builder, head))]
    return base, head, side_by_side(options, *sides)
