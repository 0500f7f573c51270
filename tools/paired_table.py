#!/usr/bin/python3
"""Prints, from sortbench-rounds JSON, each case's members against the
reference (the group's first) in paired rounds: the median of the
round-by-round ratios with its 95% interval (over the processes the file
holds, as sortbench-rounds wrote it), "tie" where that interval
crosses 1, the member's time in copies of the array (its wall time over the
copy floor timed in the same batches), and the rank, where "= above" marks a
member whose interval overlaps the one ranked just before it.

Usage: tools/paired_table.py ROUNDS.json
"""

from benchdata import ArgumentParser, load_rounds, median, run_tool, tie


def rows(case):
    """[(member, MedianRatio or None for the reference, copies)] fastest first."""
    out = []
    for m, member in enumerate(case.members):
        r = case.ratio(m) if m else None
        copies = median(w / c for w, c in zip(case.wall[m], case.copy[m]) if c > 0) if any(case.copy[m]) else None
        out.append((member, r, copies))
    return sorted(out, key=lambda row: row[1].ratio if row[1] else 1.0)


def ranked(case):
    """Each member fastest first: (rank, member, MedianRatio or None,
    copies, ties the one ranked above, interval crosses 1)."""
    previous = None
    for rank, (member, r, copies) in enumerate(rows(case), 1):
        interval = r.interval if r else (1.0, 1.0)
        above = previous is not None and tie(interval, previous)
        previous = interval
        yield rank, member, r, copies, above, r is not None and tie(r.interval)


def table(group, cases):
    rests_on = cases[0].ratio(1).rests_on() if len(cases[0].members) > 1 else "one process's interval"
    lines = [f"Paired rounds against {group[0]}: median of the rounds' ratios of "
             f"{cases[0].figure} time, 95% interval ({rests_on}); copies = wall time over the copy floor",
             "| case | rank | member | ratio | 95% interval | copies | rounds |",
             "|---|---:|---|---:|---|---:|---:|"]
    for case in cases:
        for rank, member, r, copies, above, crossing in ranked(case):
            ratio = "1" if r is None else f"{r.ratio:.3f}" + (" tie" if crossing else "")
            span = "reference" if r is None else f"{r.low:.3f}..{r.high:.3f}"
            lines.append(f"| {case.name} | {rank}{' = above' if above else ''} | {member} | {ratio} | {span} | "
                         f"{'n/a' if copies is None else f'{copies:,.1f}'} | {len(case.ns[0])} |")
    return lines


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("rounds")
    args = ap.parse_args()
    print("\n".join(table(*load_rounds(args.rounds))))


if __name__ == "__main__":
    run_tool(main)
