#!/usr/bin/python3
"""A sort's history: every run kept in one SQLite store, per machine.

  tools/history.py record FILE... [--db FILE] [--commit NAME=REV ...] [--library NAME=PATH ...] [--command TEXT]
      keeps what the programs wrote (rounds, suite or counts JSON), a record
      a file, each in one transaction: the machine (from the file's context),
      the commit of sortbench and of each contender library (--commit, else
      the library's file hash with --library), the command, the date, and
      every figure with its interval and sample count.
  tools/history.py merge OTHER.db [--db FILE]
      brings another machine's records in; merging twice adds nothing.
  tools/history.py list [--db FILE]
      one line a record.
  tools/history.py series [--figure NAME] [--db FILE]
      one line a series: machine generation x platform x contender x case x
      figure, with its points; never mixing generations or platforms.
  tools/history.py changes [--figure NAME] [--format console|json] [--db FILE]
      where each series' level changed: the commit, the level before and
      after, their ratio with its 95% interval, and p; improvements too.

  tools/history.py sweep --repo DIR --range A..B --build CMD --library PATH [--filter CASES] [--db FILE]
      for a contender library kept in git: builds A and every commit after it
      up to B (first parents), each in a worktree of its own with CMD (run by
      bash at the worktree's top, leaving the library at PATH there), times
      each build in paired rounds beside the reference and beside the commit
      before's build, counts its comparisons and moves, and records a point a
      commit; a commit whose build fails is recorded as failed.
  tools/history.py confirm COMMIT [--before REV] --repo DIR --build CMD --library PATH
      rebuilds both sides of a change (COMMIT and its parent, or REV) and
      times them in paired rounds in one process: "confirmed" or "not
      reproduced", with what confirmed it (time, or an exact count).
  tools/history.py bisect --good A --bad B --repo DIR --build CMD --library PATH
      names the first commit after A slower than A, each midpoint timed
      against A in one process, slow where it is more than --min_step (1%)
      slower: at most ceil(log2 N) + 1 builds of N commits; where a midpoint ties both sides, or the slowdown grows over
      several commits, it says so instead of naming one.
  tools/history.py compare BASE HEAD --repo DIR --build CMD --library PATH
      HEAD against its merge base with BASE, in paired rounds over three
      processes, a verdict a case.
  The four take --filter (the rounds' cases, default ^random/100000$),
  --budget_s (each timing's, default 20), --width (the rounds stop once
  every interval is within +-PCT%, default 0.5), --processes, --name (the
  contender's name in the series, default the library's) and --reference
  (default std_sort). With --layouts K each commit is built K times, CMD
  linking first the file $SORTBENCH_LAYOUT_PAD names (one unused function
  of 0 to 4095 bytes, its size drawn anew for each copy and each commit),
  and timed in K processes, copy k in process k: where code placement moves
  the sort by more than the change looked for, a commit's figure and its
  interval then hold what placement does instead of one placement's luck.

The store is sortbench-history.db in the working folder unless --db names
another. A file that is not a store, another program's SQLite file, or a
store of a newer version is refused in one line, and left as it was.
"""

import json
import shlex
import sys
from pathlib import Path

from benchdata import ArgumentParser, ToolError, build_dir, run_tool
from timeline import commits as built_commits
from timeline.builds import Builder, Repository
from timeline.changes import changes_of
from timeline.sources import library_revision, now, read_source, uid_of
from timeline.store import Record, Store
from timeline.views import stored

DEFAULT_DB = "sortbench-history.db"
# Processes of rounds a command times in unless told: a sweep's and a
# compare's verdicts stand on three; confirm and bisect time in one.
PROCESSES = {"sweep": 3, "confirm": 1, "bisect": 1, "compare": 3}


def pairs(values, flag):
    out = {}
    for v in values:
        name, sep, rest = v.partition("=")
        if not sep or not name or not rest:
            raise ToolError(f"{flag} takes NAME=VALUE, not '{v}'")
        out[name] = rest
    return out


def record(args):
    commits = pairs(args.commit, "--commit")
    libraries = {name: library_revision(path) for name, path in pairs(args.library, "--library").items()
                 if name not in commits}
    sources = [(path, read_source(path), uid_of(path)) for path in args.files]  # every file read before any is kept
    store = Store(args.db)
    try:
        for path, (kind, machine, commit, note, figures), uid in sources:
            r = Record(uid, machine, now(), args.command or f"unknown: recorded from {Path(path).name}", kind,
                       commits.get("sortbench", commit), {**libraries, **commits}, note=note)
            added = store.add(r, figures)
            print(f"{path}: {len(figures)} figures of {kind} kept" if added else f"{path}: already kept")
    finally:
        store.close()


def merge(args):
    store = Store(args.db)
    try:
        print(f"{store.merge(args.other)} records brought in from {args.other}")
    finally:
        store.close()


def listing(args):
    store = Store(args.db, create=False)
    try:
        for r, figures in store.records():
            print(f"{r.date}  {r.kind:12} {r.sortbench_commit or '-':12.12} {len(figures):6} figures  "
                  f"{r.machine.get('vendor')} family {r.machine.get('family')} model {r.machine.get('model')}")
    finally:
        store.close()


def stored_series(args):
    return stored(args.db, args.figure)


def series(args):
    for key, s in stored_series(args):
        last = s.points[-1]
        print(f"{key}: {len(s.points)} points, last {last.value:.6g}"
              + (f" ({last.low:.6g}..{last.high:.6g})" if last.low is not None and not last.exact else "")
              + (" exact" if last.exact else ""))


def direct_steps(found):
    """{(generation, platform, contender, case, commit): the sweep's own
    ratio of that commit's build to the one before, measured in one run}."""
    return {(k.generation, k.platform, k.contender, k.case, p.commit): p
            for k, s in found if k.figure == built_commits.STEP for p in s.points}


def changes(args):
    found = stored_series(args)
    steps = direct_steps(found)
    rows = []
    for key, s in found:
        if key.figure == built_commits.STEP:
            continue  # each point is itself a step: shown beside the change it confirms
        for c in changes_of(s):
            step = steps.get((key.generation, key.platform, key.contender, key.case, c.commit))
            rows.append((c, step))
    if args.format == "json":
        print(json.dumps([{**c.as_dict(), "direct_step": None if step is None else {
            "ratio": step.value, "interval": [step.low, step.high]}} for c, step in rows], indent=1))
        return
    print("| series | commit | before | after | after/before | 95% interval | p | "
          "measured directly, to the commit before |")
    print("|---|---|---:|---:|---:|---|---:|---|")
    for c, step in rows:
        direct = "-" if step is None else f"{step.value:.4f} ({step.low:.4f}..{step.high:.4f})"
        print(f"| {c.series} | {c.commit} | {c.before:.6g} | {c.after:.6g} | {c.ratio:.4f} ({c.direction}) | "
              f"{c.low:.4f}..{c.high:.4f} | {c.p:.3g} | {direct} |")
    if not rows:
        print(f"no change in {len(found)} series")


def options_of(args):
    if args.layouts and args.processes is not None:
        raise ToolError("--layouts=K times K processes, a placement each: give it without --processes")
    if args.layouts == 1 or args.layouts < 0:
        raise ToolError("--layouts takes 2 placements or more")
    processes = args.layouts or args.processes or PROCESSES[args.command_name]
    return built_commits.Options(build_dir(args.build_dir), args.name or built_commits.library_name(args.library),
                                 args.filter, args.budget_s, processes, args.reference, args.width)


def with_builder(args, work):
    repo = Repository(args.repo)
    options = options_of(args)
    builder = Builder(repo, args.build, args.library, args.layouts)
    try:
        return work(repo, builder, options)
    finally:
        builder.close()


def sweep(args):
    commits = Repository(args.repo).span(args.range)
    existed = args.db.exists()
    store = Store(args.db)  # a store that cannot be written is refused before any build
    command = shlex.join(["history.py", *sys.argv[1:]])
    try:
        points, failed = with_builder(args, lambda repo, builder, options: built_commits.sweep(
            commits, builder, store, options, command))
    except BaseException:
        if not existed:  # nothing was recorded: leave no empty store behind
            args.db.unlink(missing_ok=True)
        raise
    finally:
        store.close()
    print(f"{points} points recorded in {args.db}" + (f"; {failed} commits did not build, recorded as such"
                                                      if failed else ""))


def side_by_side_table(title, ratio, rows):
    """`rows`: (case, ratio, count changes, verdict), one a case."""
    print(f"{title}, paired rounds, {rows[0][1].rests_on() if rows else ''}")
    print(f"| case | {ratio} | 95% interval | exact counts | verdict |")
    print("|---|---:|---|---|---|")
    for case, r, changed, verdict in rows:
        print(f"| {case.name} | {r.ratio:.4f} | {r.low:.4f}..{r.high:.4f} | {'; '.join(changed) or 'the same'} | "
              f"{verdict} |")


def confirm(args):
    before, after, rows, word = with_builder(args, lambda repo, builder, options: built_commits.confirm(
        repo, builder, options, args.commit, args.before))
    side_by_side_table(f"{after.short} ({after.subject}) against {before.short}", "after/before", rows)
    print(word)


def bisect(args):
    commits, out, builds = with_builder(args, lambda repo, builder, options: built_commits.bisect(
        repo, builder, options, args.good, args.bad, args.min_step / 100))
    if out.first_slow is None:
        last = out.measured[len(commits) - 1]
        print(f"no slowdown: {commits[-1].short} runs {last.ratio:.4f} of GOOD ({last.low:.4f}..{last.high:.4f}); "
              f"{builds} builds")
        return
    named, r = commits[out.first_slow], out.measured[out.first_slow]
    if out.ties_both:
        tied = ", ".join(commits[i].short for i in out.ties_both)
        print(f"cannot name one commit: {tied} ties both GOOD and the slow level ({r.ratio:.4f} of GOOD); "
              f"the change is within one process's noise here, or spread over commits; {builds} builds")
    elif out.grows:
        later = ", ".join(f"{commits[i].short} {out.measured[i].ratio:.4f}" for i in out.grows)
        print(f"gradual: {named.short} runs {r.ratio:.4f} of GOOD, and later commits slower still ({later}): "
              f"no single commit made it; {builds} builds")
    else:
        print(f"first slow commit: {named.sha} ({named.subject}), {r.ratio:.4f} of GOOD "
              f"({r.low:.4f}..{r.high:.4f}); {builds} builds")


def compare(args):
    base, head, rows = with_builder(args, lambda repo, builder, options: built_commits.compare(
        repo, builder, options, args.base, args.head))
    side_by_side_table(f"head {head.short} ({head.subject}) against its merge base {base.short}", "head/base",
                       [(case, r, built_commits.count_change(cb, ca),
                         {"B slower": "head slower", "B faster": "head faster"}.get(r.verdict(), "tie"))
                        for case, r, cb, ca in rows])


def main():
    ap = ArgumentParser(__doc__)
    sub = ap.add_subparsers(dest="command_name", required=True)
    rec = sub.add_parser("record")
    rec.add_argument("files", nargs="+", type=Path)
    rec.add_argument("--commit", action="append", default=[], metavar="NAME=REV")
    rec.add_argument("--library", action="append", default=[], metavar="NAME=PATH")
    rec.add_argument("--command")
    mer = sub.add_parser("merge")
    mer.add_argument("other", type=Path)
    lst = sub.add_parser("list")
    ser = sub.add_parser("series")
    chg = sub.add_parser("changes")
    chg.add_argument("--format", choices=["console", "json"], default="console")
    for p in (ser, chg):
        p.add_argument("--figure", help="only this figure, e.g. ratio_to:std_sort or comparisons")
    swp = sub.add_parser("sweep")
    swp.add_argument("--range", required=True, metavar="A..B")
    con = sub.add_parser("confirm")
    con.add_argument("commit")
    con.add_argument("--before", help="the other side (default: the commit's parent)")
    bis = sub.add_parser("bisect")
    bis.add_argument("--good", required=True)
    bis.add_argument("--bad", required=True)
    bis.add_argument("--min_step", type=float, default=1.0,
                     help="a midpoint is slow where it is slower than GOOD by more than PCT%% (default 1)")
    cmp = sub.add_parser("compare")
    cmp.add_argument("base")
    cmp.add_argument("head")
    for p in (swp, con, bis, cmp):
        p.add_argument("--repo", required=True, type=Path)
        p.add_argument("--build", required=True, help="the command that builds the library, run at the worktree's top")
        p.add_argument("--library", required=True, help="where the build leaves the library, inside the worktree")
        p.add_argument("--filter", default="^random/100000$", help="the rounds' cases (default ^random/100000$)")
        p.add_argument("--budget_s", type=int, default=20)
        p.add_argument("--width", type=float, default=0.5,
                       help="stop the rounds once every interval is within +-PCT%% (default 0.5)")
        p.add_argument("--processes", type=int, help="processes of rounds (default: 3 for sweep and compare, "
                                                      "1 for confirm and bisect)")
        p.add_argument("--layouts", type=int, default=0,
                       help="build each commit K times at placements of its own (the build links "
                            "$SORTBENCH_LAYOUT_PAD first) and time copy k in process k")
        p.add_argument("--name", help="the contender's name in the series (default: from the library's file)")
        p.add_argument("--reference", default="std_sort")
        p.add_argument("--build_dir", help="sortbench's build directory (default build/release)")
    for p in (rec, mer, lst, ser, chg, swp):
        p.add_argument("--db", type=Path, default=Path(DEFAULT_DB))
    args = ap.parse_args()
    {"record": record, "merge": merge, "list": listing, "series": series, "changes": changes, "sweep": sweep,
     "confirm": confirm, "bisect": bisect, "compare": compare}[args.command_name](args)


if __name__ == "__main__":
    run_tool(main)
