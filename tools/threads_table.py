#!/usr/bin/env python3
"""Prints a Markdown table of the parallel contenders from the companion
suite's JSON: for one pattern (random by default), element type int32 and
warm arrays, the median time at each thread count, the speedup over the same
sort at one thread, and the ratio to the fastest sequential contender of the
same size (below 1: the parallel sort wins).

Usage: tools/threads_table.py FULL.json [--pattern P]
"""

import argparse
import re

from benchdata import ToolError, load_benchmarks, run_tool, suite_figures

THREADS = re.compile(r"^(?P<contender>[^/]+)/(?P<pattern>[^/]+)/(?P<size>\d+)/threads:(?P<threads>\d+)$")


def parallel_figures(runs, pattern):
    """{(contender, size): {threads: ns}} from the median aggregates (or the
    plain runs) of the warm int32 thread-axis benchmarks of `pattern`."""
    medians, plain = {}, {}
    for b in runs:
        m = THREADS.match(b["run_name"].removesuffix("/manual_time"))
        if not m or m["pattern"] != pattern or b.get("error_occurred") or "real_ns" not in b:
            continue
        key = (m["contender"], int(m["size"]), int(m["threads"]))
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                medians[key] = b["real_ns"]
        else:
            plain.setdefault(key, []).append(b["real_ns"])
    figures = {k: sorted(v)[len(v) // 2] for k, v in plain.items()}
    figures.update(medians)
    table = {}
    for (c, n, t), ns in figures.items():
        table.setdefault((c, n), {})[t] = ns
    return table


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("json")
    ap.add_argument("--pattern", default="random")
    args = ap.parse_args()
    _, runs = load_benchmarks(args.json)
    table = parallel_figures(runs, args.pattern)
    if not table:
        raise ToolError(f"no thread-axis results on {args.pattern} in the input")
    sequential = suite_figures(runs, "warm")
    best = {}
    for (c, p, n), ns in sequential.items():
        if p == args.pattern and (n not in best or ns < best[n][1]):
            best[n] = (c, ns)
    counts = sorted({t for by_threads in table.values() for t in by_threads})
    print("| contender | size | " + " | ".join(f"{t} thread{'s' if t > 1 else ''}" for t in counts) +
          f" | speedup at {counts[-1]} | vs best sequential |")
    print("|---|---:|" + "---:|" * (len(counts) + 2))
    for (c, n), by_threads in sorted(table.items(), key=lambda kv: (kv[0][1], kv[0][0])):
        cells = [f"{by_threads[t] / 1e6:.2f} ms" if t in by_threads else "" for t in counts]
        most = by_threads.get(counts[-1])
        speedup = f"{by_threads[1] / most:.2f}x" if most and 1 in by_threads else ""
        versus = f"{most / best[n][1]:.2f} ({best[n][0]})" if most and n in best else ""
        print(f"| {c} | {n:,} | " + " | ".join(cells) + f" | {speedup} | {versus} |")


if __name__ == "__main__":
    run_tool(main)
