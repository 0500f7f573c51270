#!/usr/bin/python3
"""Prints a Markdown table of the parallel contenders from the companion
suite's JSON: for one pattern (random by default), element type int32 and
warm arrays, the figure at each thread count, the speedup over the same
sort at one thread, and the ratio to the fastest sequential contender of the
same size (below 1: the parallel sort wins).

Usage: tools/threads_table.py FULL.json [--pattern P]
"""

from benchdata import ArgumentParser, SuiteRun, ToolError, run_tool


def thread_rows(run, pattern):
    """(thread counts, [(contender, size, {threads: ns}, best sequential (contender, ns) or None)])."""
    by_case = {}
    for n, f in run.figures.items():
        if n.threads and n.pattern == pattern and n.type == "int32" and not n.cold and f.value is not None:
            by_case.setdefault((n.contender, n.size), {})[n.threads] = f.value
    if not by_case:
        raise ToolError(f"{run.path}: no thread-axis results on {pattern}")
    best = {}
    for (c, p, n), ns in run.values("int32", "warm").items():
        if p == pattern and (n not in best or ns < best[n][1]):
            best[n] = (c, ns)
    counts = sorted({t for by in by_case.values() for t in by})
    rows = [(c, n, by, best.get(n)) for (c, n), by in sorted(by_case.items(), key=lambda kv: (kv[0][1], kv[0][0]))]
    return counts, rows


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("json")
    ap.add_argument("--pattern", default="random")
    args = ap.parse_args()
    counts, rows = thread_rows(SuiteRun(args.json), args.pattern)
    print("| contender | size | " + " | ".join(f"{t} thread{'s' if t > 1 else ''}" for t in counts) +
          f" | speedup at {counts[-1]} | vs best sequential |")
    print("|---|---:|" + "---:|" * (len(counts) + 2))
    for c, n, by, best in rows:
        cells = [f"{by[t] / 1e6:.2f} ms" if t in by else "" for t in counts]
        most = by.get(counts[-1])
        speedup = f"{by[1] / most:.2f}x" if most and 1 in by else ""
        versus = f"{most / best[1]:.2f} ({best[0]})" if most and best else ""
        print(f"| {c} | {n:,} | " + " | ".join(cells) + f" | {speedup} | {versus} |")


if __name__ == "__main__":
    run_tool(main)
