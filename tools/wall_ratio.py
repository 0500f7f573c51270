#!/usr/bin/python3
"""How much of a sortbench run is sorting. Runs each given sortbench binary
--rounds times, interleaved (A B A B ...), and prints per binary the medians
of wall, user and system time, minor page faults, the sum of the report's
timed windows (microseconds per call x calls, over every cell) and the ratio
wall / timed. With --cells, also the median of every report cell per binary,
and each binary's cells relative to the first binary's.

Usage: tools/wall_ratio.py [BINARY ...] [--rounds N]
BINARY defaults to the repository's build/release/sortbench.
"""

import os
import subprocess
import time
from pathlib import Path

from benchdata import ArgumentParser, ToolError, build_dir, executable, median, parse_report, run_tool


def one_run(binary: Path, build: Path):
    start = time.monotonic()
    proc = subprocess.Popen([str(binary)], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    out = proc.stdout.read()
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - start
    if os.waitstatus_to_exitcode(status) != 0:
        raise ToolError(f"{binary} exited with status {os.waitstatus_to_exitcode(status)}")
    sizes, loops, rows = parse_report(out, build, str(binary))
    timed = sum(us * loop * 10 for values in rows.values() for us, loop in zip(values, loops) if us) / 1e6
    return {"wall": wall, "user": usage.ru_utime, "sys": usage.ru_stime,
            "minflt": usage.ru_minflt, "timed": timed, "ratio": wall / timed,
            "sizes": sizes, "rows": rows}


def print_cells(samples):
    """Median microseconds per call of every cell, and the ratio to the first binary."""
    first = next(iter(samples.values()))
    sizes = first[0]["sizes"]
    medians = {}
    for b, runs in samples.items():
        medians[b] = {r: [median(run["rows"][r][k] or 0 for run in runs) for k in range(len(sizes))]
                      for r in runs[0]["rows"]}
    print()
    print(f"{'routine':<14} {'binary':<32} " + " ".join(f"{n:>9}" for n in sizes))
    base = medians[next(iter(medians))]
    for r in base:
        for b, m in medians.items():
            print(f"{r:<14} {str(b)[-32:]:<32} " + " ".join(f"{v:9.3f}" for v in m[r]))
        for b, m in list(medians.items())[1:]:
            print(f"{'':<14} {('ratio ' + str(b))[-32:]:<32} "
                  + " ".join(f"{v / w:9.2f}" if w else f"{'':>9}" for v, w in zip(m[r], base[r])))


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("binaries", nargs="*", type=Path)
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--cells", action="store_true", help="also print every cell's median")
    ap.add_argument("--build", help="build directory for routines.tsv (default: build/release)")
    args = ap.parse_args()
    if args.rounds < 1:
        raise ToolError("--rounds must be at least 1")
    build = build_dir(args.build)
    binaries = args.binaries or [executable(build, "sortbench")]
    samples = {b: [] for b in binaries}
    for _ in range(args.rounds):
        for b in binaries:
            samples[b].append(one_run(b, build))
    print(f"medians of {args.rounds} interleaved runs; load average {os.getloadavg()[0]:.2f} at the end")
    print(f"{'binary':<32} {'wall s':>7} {'user s':>7} {'sys s':>7} {'minflt':>8} {'timed s':>8} {'wall/timed':>10}")
    for b, runs in samples.items():
        m = {k: median(r[k] for r in runs) for k in ("wall", "user", "sys", "minflt", "timed", "ratio")}
        print(f"{str(b):<32} {m['wall']:7.2f} {m['user']:7.2f} {m['sys']:7.2f} {m['minflt']:8.0f} "
              f"{m['timed']:8.2f} {m['ratio']:10.2f}")
    if args.cells:
        print_cells(samples)


if __name__ == "__main__":
    run_tool(main)
