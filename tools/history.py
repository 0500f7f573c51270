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

The store is sortbench-history.db in the working folder unless --db names
another. A file that is not a store, another program's SQLite file, or a
store of a newer version is refused in one line, and left as it was.
"""

import json
from pathlib import Path

from benchdata import ArgumentParser, ToolError, run_tool
from timeline.changes import changes_of
from timeline.series import all_series
from timeline.sources import library_revision, now, read_source, uid_of
from timeline.store import Record, Store

DEFAULT_DB = "sortbench-history.db"


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
    """The store's series, in name order: [(SeriesKey, Series)]."""
    store = Store(args.db, create=False)
    try:
        found = all_series(store.records(), args.figure)
    finally:
        store.close()
    return sorted(found.items(), key=lambda kv: str(kv[0]))


def series(args):
    for key, s in stored_series(args):
        last = s.points[-1]
        print(f"{key}: {len(s.points)} points, last {last.value:.6g}"
              + (f" ({last.low:.6g}..{last.high:.6g})" if last.low is not None and not last.exact else "")
              + (" exact" if last.exact else ""))


def changes(args):
    found = stored_series(args)
    rows = [c for _, s in found for c in changes_of(s)]
    if args.format == "json":
        print(json.dumps([c.as_dict() for c in rows], indent=1))
        return
    print("| series | commit | before | after | after/before | 95% interval | p |")
    print("|---|---|---:|---:|---:|---|---:|")
    for c in rows:
        print(f"| {c.series} | {c.commit} | {c.before:.6g} | {c.after:.6g} | {c.ratio:.4f} ({c.direction}) | "
              f"{c.low:.4f}..{c.high:.4f} | {c.p:.3g} |")
    if not rows:
        print(f"no change in {len(found)} series")


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
    for p in (rec, mer, lst, ser, chg):
        p.add_argument("--db", type=Path, default=Path(DEFAULT_DB))
    args = ap.parse_args()
    {"record": record, "merge": merge, "list": listing, "series": series, "changes": changes}[args.command_name](args)


if __name__ == "__main__":
    run_tool(main)
