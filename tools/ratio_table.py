#!/usr/bin/python3
"""Prints a Markdown table from the companion suite's JSON: for every
contender and pattern, its time relative to std_sort as the geometric mean
over the sizes of at least --min-size elements (1,000 by default) that both
ran. Below 1 is faster than std_sort; an empty cell was not run (capped).

With --type, the figures of that element type (int32 by default); with
--types, one summary row per type and contender: the geometric mean of its
ratios over the patterns that type ran.

The ratios are of the CPU time in the timed windows (the figure that holds
on a busy machine: wall-time ratios move several times as far between
processes when other work shares the cores); --figure wall gives the wall
time, the old view. Paired rounds (sortbench-rounds) hold better still. A
cell whose repetitions' range crosses std_sort's is marked ~ (a tie). The
first line says which figure was taken.

Usage: tools/ratio_table.py FULL.json [--state warm|cold] [--min-size N] [--type T | --types]
                            [--figure held|wall|cpu]
"""

from benchdata import (FIGURES, ArgumentParser, SuiteRun, ToolError, figure_label, gmean, ratio_intervals, ratios_to,
                       run_tool, tie)


def ratio_table(run, type_name, state, min_size, figure="held"):
    """(contenders, patterns, {(contender, pattern): ratio}) of one type."""
    values = run.require(run.values(type_name, state, figure), f"{state} {type_name}")
    if not any(c == "std_sort" for c, _, _ in values):
        raise ToolError(f"{run.path}: no std_sort results on {type_name}: nothing to relate to")
    contenders = [c for c in run.contenders if any(k[0] == c for k in values)]
    patterns = [p for p in run.patterns if any(k[1] == p for k in values)]
    return contenders, patterns, ratios_to(values, "std_sort", min_size)


def type_summary(run, state, min_size, figure="held"):
    """(contenders, types, {(contender, type): geometric mean over the
    patterns of its ratios}); patterns capped for a contender are left out."""
    summary, order = {}, []
    for t in run.types:
        if not run.values(t, state, figure):
            continue
        contenders, patterns, table = ratio_table(run, t, state, min_size, figure)
        order += [c for c in contenders if c not in order]
        for c in contenders:
            mean = gmean(table[(c, p)] for p in patterns if (c, p) in table)
            if mean is not None:
                summary[(c, t)] = mean
    types = [t for t in run.types if any(k[1] == t for k in summary)]
    if not types:
        raise ToolError(f"{run.path}: no results with std_sort to relate to")
    return order, types, summary


def markdown(rows, columns, cells, empty="", ties=frozenset()):
    lines = ["| contender | " + " | ".join(columns) + " |", "|---|" + "---:|" * len(columns)]
    for r in rows:
        lines.append(f"| {r} | " + " | ".join(("~" if (r, c) in ties else "") + f"{cells[(r, c)]:.2f}"
                                               if (r, c) in cells else empty for c in columns) + " |")
    return "\n".join(lines)


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("json")
    ap.add_argument("--state", choices=["warm", "cold"], default="warm")
    ap.add_argument("--min-size", type=int, default=1000)
    ap.add_argument("--type", default="int32")
    ap.add_argument("--types", action="store_true", help="one summary row per type and contender")
    ap.add_argument("--figure", choices=FIGURES, default="held")
    args = ap.parse_args()
    run = SuiteRun(args.json)
    print(f"Ratios to std_sort of {figure_label(args.figure)}\n")
    if args.types:
        print(markdown(*type_summary(run, args.state, args.min_size, args.figure), empty="-"))
        return
    if args.type not in run.types:
        raise ToolError(f"{run.path}: no type {args.type!r}; it has {', '.join(run.types)}")
    rows, columns, cells = ratio_table(run, args.type, args.state, args.min_size, args.figure)
    spans = ratio_intervals(run, args.type, args.state, figure=args.figure)
    ties = {k for k, span in spans.items() if k[0] != "std_sort" and tie(span)}
    print(markdown(rows, columns, cells, ties=ties))


if __name__ == "__main__":
    run_tool(main)
