#!/usr/bin/python3
# Debian's own interpreter: scipy comes as a Debian package (python3-scipy).
"""How good sortbench-advise's advice is, on data it has not seen.

For each file (each built-in pattern written at --size elements, and any
--file given as TYPE:PATH), runs the advice twice, in two processes, then
times every candidate the advice raced in a fresh process's paired rounds
over the whole file, cut into the same arrays. Prints, per file, the pick,
its regret (the pick's time over the fastest one's in the fresh rounds, the
median of the round-by-round ratios), whether the fresh best's ratio to
std_sort fell inside the advice's 95% interval, and whether the two
processes agreed (the same pick, or a tie declared by either); then how
often each held.

Usage: tools/advice_check.py [--patterns REGEX] [--file TYPE:PATH[:text] ...] [--size N]
                             [--budget_s S] [--build DIR] [--json OUT]
"""

import json
import subprocess
import tempfile
from pathlib import Path

from benchdata import (ArgumentParser, ToolError, build_dir, compiled, executable, listed_names, load_rounds,
                       median_ratio, run_tool)


def run(command):
    r = subprocess.run([str(c) for c in command], capture_output=True, text=True)
    if r.returncode != 0:
        raise ToolError(f"{Path(command[0]).name} failed: {r.stderr.strip().splitlines()[-1] if r.stderr else r.returncode}")
    return r.stdout


def input_flags(kind, path, text):
    return [f"--input={path}", f"--input_type={kind}"] + (["--input_text"] if text else [])


def regret(times, pick, best):
    """The pick's time over the fastest one's: the median of their
    round-by-round ratios, 1 where the pick is the fastest."""
    return 1.0 if best == pick else median_ratio(times[best], times[pick]).ratio


def check(build, kind, path, text, size, budget):
    flags = input_flags(kind, path, text)
    advice = [json.loads(run([executable(build, "sortbench-advise"), *flags, f"--budget_s={budget}",
                              "--format=json"])) for _ in range(2)]
    first = advice[0]
    n = first["size"]
    # Every array of the file, the training and the held-out ones alike.
    group = [first["reference"]] + [c for c in first["candidates"] if c != first["reference"]]
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "rounds.json"
        run([executable(build, "sortbench-rounds"), *flags, f"--input_sizes={n}", "--group=" + ",".join(group),
             f"--filter=^{Path(path).stem}/{n}(/|$)", f"--budget_s={budget}", "--min_rounds=10", f"--out={out}"])
        _, cases = load_rounds(out)
    case = cases[0]
    ns = dict(zip(case.members, case.ns))
    reference = ns[first["reference"]]
    ratios = {m: median_ratio(reference, ns[m]).ratio for m in case.members}
    best = min(ratios, key=ratios.get)
    low, high = first["interval"]
    inside = low <= ratios[best] <= (high if high is not None else float("inf"))
    agree = advice[0]["pick"] == advice[1]["pick"] or advice[0]["tie"] or advice[1]["tie"]
    return {"file": Path(path).name, "type": kind, "size": size, "array": n, "pick": first["pick"],
            "second_pick": advice[1]["pick"], "tie": first["tie"], "fresh_best": best, "regret": regret(ns, first["pick"], best),
            "best_in_interval": inside, "agree": agree}


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("--patterns", default=".", help="the built-in patterns to write, a regular expression")
    ap.add_argument("--file", action="append", default=[], help="TYPE:PATH[:text], a file of your own; repeatable")
    ap.add_argument("--size", type=int, default=100000, help="elements per pattern file (default 100000)")
    ap.add_argument("--budget_s", type=int, default=30, help="each advice's and each fresh measurement's budget")
    ap.add_argument("--build", help="the build directory (default build/release)")
    ap.add_argument("--json", type=Path, help="write the rows there too")
    args = ap.parse_args()
    build = build_dir(args.build)
    wanted = compiled(args.patterns, "--patterns")
    rows = []
    with tempfile.TemporaryDirectory() as tmp:
        files = []
        for p in (p for p in listed_names(build, "sortbench-counts", "write") if wanted.search(p)):
            path = Path(tmp) / f"{p}_file.int32"
            with open(path, "wb") as f:
                subprocess.run([executable(build, "sortbench-counts"), f"--write={p}", f"--write_size={args.size}",
                                "--write_arrays=1"], stdout=f, check=True)
            files.append(("int32", path, False))
        for given in args.file:
            parts = given.split(":")
            if len(parts) not in (2, 3) or (len(parts) == 3 and parts[2] != "text"):
                raise ToolError(f"--file takes TYPE:PATH[:text], not '{given}'")
            files.append((parts[0], Path(parts[1]), len(parts) == 3))
        if not files:
            raise ToolError("no file to check: --patterns matches none and no --file is given")
        print(f"{'file':28} {'pick':16} {'fresh best':16} {'regret':>7} {'in interval':>11} {'agree':>6}")
        for kind, path, text in files:
            row = check(build, kind, path, text, args.size, args.budget_s)
            rows.append(row)
            print(f"{row['file'][:28]:28} {row['pick'] + (' (tie)' if row['tie'] else ''):16} {row['fresh_best']:16} "
                  f"{row['regret']:7.3f} {'yes' if row['best_in_interval'] else 'no':>11} "
                  f"{'yes' if row['agree'] else 'no':>6}", flush=True)
    k = len(rows)
    print(f"regret at most 1.05: {sum(r['regret'] <= 1.05 for r in rows)} of {k}; fresh best inside the interval: "
          f"{sum(r['best_in_interval'] for r in rows)} of {k}; two processes agree: {sum(r['agree'] for r in rows)} of {k}")
    if args.json:
        args.json.write_text(json.dumps(rows, indent=1))


if __name__ == "__main__":
    run_tool(main)
