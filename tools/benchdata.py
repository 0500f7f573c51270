"""The figures layer of the scripts in tools/: where the build is, the routine
list it writes, sortbench's report, the companion suite's JSON as one record
per benchmark, what "the figure" of a benchmark is, and the statistics the
tools judge by (from scipy). Errors a user can fix are one line, never a
traceback."""

import argparse
import contextlib
import json
import math
import os
import re
import signal
import statistics
import subprocess
import sys
from dataclasses import dataclass, field
from pathlib import Path

from scipy import stats

REPO = Path(__file__).resolve().parent.parent

# Google Benchmark's time units, in nanoseconds.
NS_PER_UNIT = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}

# The level at which a difference is called real, and the fewest samples a
# side at which a U test can reach it comfortably: Google Benchmark's
# compare.py warns below 9 repetitions, and with 2 a side the smallest p a
# two-sided U test can give is 1/3.
ALPHA = 0.05
MIN_SAMPLES = 9


class ToolError(Exception):
    """A problem the user can fix; printed as one line."""


# The status of a tool that this host cannot run, for a reason of the host and
# not of the project: CTest reads it as "skipped" (SKIP_RETURN_CODE), the
# convention of automake's test harness.
HOST_SKIP = 77


class HostCannotRun(ToolError):
    """What was asked cannot run on this host (valgrind cannot decode an
    instruction this processor runs, ...): printed as one line, status 77."""


def run_tool(main):
    """Runs main(), turning expected failures into one line and status 1 (77
    where the host cannot run it)."""
    name = Path(sys.argv[0]).name
    try:
        main()
    except HostCannotRun as e:
        print(f"{name}: skipped: {e}", file=sys.stderr)
        sys.exit(HOST_SKIP)
    except ToolError as e:
        sys.exit(f"{name}: {e}")
    except OSError as e:
        sys.exit(f"{name}: {e.filename or ''}{': ' if e.filename else ''}{e.strerror}")
    except KeyboardInterrupt:
        sys.exit(130)


class ArgumentParser(argparse.ArgumentParser):
    """argparse whose usage errors are one line and status 1, as every other
    error of the tools."""

    def __init__(self, doc=None, **kw):
        kw.setdefault("formatter_class", argparse.RawDescriptionHelpFormatter)
        super().__init__(description=doc, **kw)

    def error(self, message):
        raise ToolError(message)


@contextlib.contextmanager
def busy_loops(count):
    """`count` shell loops spinning beside the block, as a loaded machine;
    stopped when it ends, and when the tool is killed with SIGTERM."""
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    loops = [subprocess.Popen(["/bin/sh", "-c", "while :; do :; done"], start_new_session=True)
             for _ in range(count)]
    try:
        yield
    finally:
        for p in loops:
            os.killpg(p.pid, signal.SIGKILL)


def compiled(regex, what="--benchmark"):
    try:
        return re.compile(regex)
    except re.error as e:
        raise ToolError(f"{what}: not a regular expression: {regex!r} ({e})") from None


def build_dir(given=None) -> Path:
    """The build directory: as given, else $SORTBENCH_BUILD, else the
    repository's build/release, wherever the script is run from."""
    path = Path(given or os.environ.get("SORTBENCH_BUILD") or REPO / "build" / "release")
    if not path.is_dir():
        raise ToolError(f"no build directory {path}: run `make` in {REPO} first")
    return path


def executable(build: Path, name: str) -> Path:
    path = build / name
    if not os.access(path, os.X_OK):
        raise ToolError(f"{path} is missing: run `make` in {REPO} first")
    return path


def routines(build: Path):
    """The routine registry as the build wrote it: [{id, label, traits}]."""
    path = build / "routines.tsv"
    try:
        lines = path.read_text().splitlines()
    except FileNotFoundError:
        raise ToolError(f"{path} is missing: run `make` in {REPO} first") from None
    out = []
    for line in lines:
        cells = line.split("\t")
        if len(cells) != 3 or not cells[0]:
            raise ToolError(f"{path}: not the routine table (id, label, traits by tabs): {line!r}")
        out.append({"id": cells[0], "label": cells[1], "traits": [t for t in cells[2].split(",") if t]})
    return out


# --- statistics ---------------------------------------------------------

def listed_names(build: Path, program: str, flag: str):
    """The names a program's --help lists for --FLAG ("one of: a, b, c"):
    patterns, types and contenders come from the programs, never a copy."""
    run = subprocess.run([str(executable(build, program)), "--help"], capture_output=True, text=True)
    m = re.search(rf"^\s*--{re.escape(flag)}=\S+.*one of: (.+)$", run.stdout, re.M)
    if not m:
        raise ToolError(f"{program} --help lists no names for --{flag}")
    return [name.strip() for name in m[1].split(",")]


def median(values):
    return statistics.median(values)


def cv(values):
    """Coefficient of variation, sample standard deviation over mean (as
    Google Benchmark's cv aggregate); None below two values."""
    values = list(values)
    return float(stats.variation(values, ddof=1)) if len(values) > 1 else None


def gmean(values):
    """Geometric mean; None of nothing."""
    values = list(values)
    return float(stats.gmean(values)) if values else None


def percent(value):
    """A fraction as a percentage, or n/a where there is none."""
    return "n/a" if value is None else f"{value:.1%}"


@dataclass
class Difference:
    """Whether two samples differ: the two-sided Mann-Whitney U test's p,
    the verdict at ALPHA, and a warning when a side is too small to trust."""
    p: float
    significant: bool
    warning: str = ""


def differ(a, b, alpha=ALPHA):
    a, b = list(a), list(b)
    if not a or not b:
        raise ToolError("a comparison needs samples on both sides")
    p = float(stats.mannwhitneyu(a, b, alternative="two-sided").pvalue)
    warning = ""
    if min(len(a), len(b)) < MIN_SAMPLES:
        warning = (f"{len(a)} vs {len(b)} samples: fewer than {MIN_SAMPLES} a side, "
                   f"a real difference may not reach p < {alpha}")
    return Difference(p, p < alpha, warning)


def wilcoxon_p(a, b):
    """A second test beside the paired figure, never instead of it:
    Wilcoxon's signed-rank p of the log ratios b/a against 0 (1 where every
    ratio is 1)."""
    logs = [math.log(y / x) for x, y in zip(a, b)]
    return 1.0 if all(v == 0 for v in logs) else float(stats.wilcoxon(logs).pvalue)


# --- the companion suite's benchmarks -------------------------------------

NAME = re.compile(r"^(?P<contender>[^/]+)/(?P<pattern>[^/]+)/(?P<size>\d+)"
                  r"(?:/(?!cold(?:/|$)|threads:)(?P<type>[^/]+))?"
                  r"(?:/threads:(?P<threads>\d+))?(?P<cold>/cold)?$")


@dataclass(frozen=True, order=True)
class Name:
    """A suite benchmark's name: contender/pattern/size[/type][/threads:K][/cold]."""
    contender: str
    pattern: str
    size: int
    type: str = "int32"
    threads: int = 0  # 0 for a sequential sort
    cold: bool = False

    @property
    def state(self):
        return "cold" if self.cold else "warm"

    def __str__(self):
        return (f"{self.contender}/{self.pattern}/{self.size}" + (f"/{self.type}" if self.type != "int32" else "")
                + (f"/threads:{self.threads}" if self.threads else "") + ("/cold" if self.cold else ""))


def parse_name(run_name):
    """The Name of a benchmark's run_name (with or without Google Benchmark's
    /manual_time); None when it is not a suite benchmark."""
    m = NAME.match(run_name.removesuffix("/manual_time"))
    if not m:
        return None
    return Name(m["contender"], m["pattern"], int(m["size"]), m["type"] or "int32", int(m["threads"] or 0),
                bool(m["cold"]))


# Which time a ratio is taken of. "held", the default, is the one that holds
# on a busy machine: CPU time for a sequential sort, which leaves out the time
# slices other processes took (two busy loops beside a run moved wall-time
# ratios by 16% across processes and CPU-time ones by 2%), and wall time for a
# parallel one, whose CPU time adds up its threads. "wall" is the old view.
FIGURES = ("held", "wall", "cpu")


def held(figure, threads=0):
    """The kind of time ("wall" or "cpu") that `figure` means for a benchmark
    on `threads` threads (0: sequential)."""
    if figure not in FIGURES:
        raise ToolError(f"no figure {figure!r}; one of {', '.join(FIGURES)}")
    if figure == "held":
        return "wall" if threads else "cpu"
    return figure


def figure_label(figure):
    """What a table says it took."""
    return {"held": "CPU time for sequential sorts, wall time for parallel ones",
            "wall": "wall time", "cpu": "CPU time"}[figure]


# What the suite records beside each figure: its own figures, then the
# counters a run's context lists ("counters": key:label,...), per call. A
# counter that could not be counted (system calls without the tracepoint,
# allocations under a sanitizer) is absent, and shown as n/a.
FIGURE_COUNTERS = ("cpu_ns", "off_cpu", "copy_ns", "read_ns", "copies", "bytes_per_second")
# The counters of a file written before its context listed them.
EARLIER_COUNTERS = ("switches_per_call:context switches,faults_per_call:page faults,syscalls_per_call:system calls,"
                    "allocs_per_call:allocations,alloc_bytes_per_call:bytes allocated")


def counter_labels(context):
    """{key: label} of the per-call counters a run's context lists, in order."""
    listed = context.get("counters", EARLIER_COUNTERS) if isinstance(context, dict) else EARLIER_COUNTERS
    labels = {}
    for item in str(listed).split(","):
        key, _, label = item.partition(":")
        if key:
            labels[key] = label or key
    return labels


@dataclass
class Figure:
    """One benchmark of one run: its repetitions and Google Benchmark's
    aggregates of them, in nanoseconds per call, and its counters."""
    samples: list = field(default_factory=list)
    aggregates: dict = field(default_factory=dict)
    error: str = ""  # a skipped (capped) or failed benchmark says why
    counter_samples: list = field(default_factory=list)
    counter_median: dict = field(default_factory=dict)

    @property
    def counters(self):
        """{counter: value}: Google Benchmark's median aggregate where the run
        has one, else the median over the repetitions."""
        if self.counter_median:
            return self.counter_median
        keys = {k for c in self.counter_samples for k in c}
        return {k: median([c[k] for c in self.counter_samples if k in c]) for k in keys}

    @property
    def spread(self):
        """(fastest, slowest) repetition; None with fewer than two."""
        return (min(self.samples), max(self.samples)) if len(self.samples) > 1 else None

    def of(self, kind):
        """The figure of one kind ("wall" or "cpu", see held()): the median
        over the repetitions; None where the run has none."""
        return self.value if kind == "wall" else self.counters.get("cpu_ns")

    def spread_of(self, kind):
        """(fastest, slowest) repetition of one kind; None with fewer than two."""
        if kind == "wall":
            return self.spread
        cpu = [c["cpu_ns"] for c in self.counter_samples if "cpu_ns" in c]
        return (min(cpu), max(cpu)) if len(cpu) > 1 else None

    @property
    def value(self):
        """The figure: the median of the repetitions (Google Benchmark's
        median aggregate where the run has one); None for a skipped case."""
        if "median" in self.aggregates:
            return self.aggregates["median"]
        return median(self.samples) if self.samples else None

    @property
    def minimum(self):
        if "min" in self.aggregates:
            return self.aggregates["min"]
        return min(self.samples) if self.samples else None

    @property
    def cv(self):
        return self.aggregates["cv"] if "cv" in self.aggregates else cv(self.samples)

    @property
    def repetitions(self):
        return len(self.samples) or (1 if self.value is not None else 0)


def read_document(source):
    stream = hasattr(source, "read")
    name = getattr(source, "name", "a stream") if stream else str(source)
    if name == "<stdin>":
        name = "standard input"
    raw = source.read() if stream else Path(source).read_bytes()
    if not raw.strip():
        raise ToolError(f"{name}: empty")
    try:
        return name, json.loads(raw)
    except (json.JSONDecodeError, UnicodeDecodeError) as e:
        raise ToolError(f"{name}: not JSON ({e})") from None


class SuiteRun:
    """A result file of sortbench-patterns (a path, or a binary stream):
    its context and one Figure per benchmark."""

    def __init__(self, source):
        self.path, doc = read_document(source)
        runs = doc.get("benchmarks") if isinstance(doc, dict) else None
        if not isinstance(runs, list):
            raise ToolError(f"{self.path}: not Google Benchmark JSON (no \"benchmarks\" list)")
        if not runs:
            raise ToolError(f"{self.path}: no benchmarks in the file")
        context = doc.get("context")
        self.context = context if isinstance(context, dict) else {}
        self.counter_labels = counter_labels(self.context)
        self.figures = {}
        for i, b in enumerate(runs):
            self._add(i, b)

    def _add(self, i, b):
        where = f"{self.path}: benchmark {i + 1}"
        if not isinstance(b, dict) or not isinstance(b.get("run_name"), str):
            raise ToolError(f"{where}: no run_name")
        name = parse_name(b["run_name"])
        if name is None:
            raise ToolError(f"{where}: {b['run_name']!r} is not a sortbench-patterns benchmark")
        f = self.figures.setdefault(name, Figure())
        if b.get("error_occurred"):
            f.error = str(b.get("error_message", "error"))
            return
        aggregate = b.get("run_type") == "aggregate"
        if aggregate and not isinstance(b.get("aggregate_name"), str):
            raise ToolError(f"{where}: an aggregate without an aggregate_name")
        try:
            if aggregate and b.get("aggregate_unit") == "percentage":
                value = float(b["real_time"])  # a fraction, whatever the time unit
            else:
                value = float(b["real_time"]) * NS_PER_UNIT[b.get("time_unit", "ns")]
        except (KeyError, TypeError, ValueError):
            raise ToolError(f"{where}: no time in a known unit") from None
        counters = {k: float(b[k]) for k in (*FIGURE_COUNTERS, *self.counter_labels)
                    if isinstance(b.get(k), (int, float)) and math.isfinite(b[k])}
        if aggregate:
            f.aggregates[b["aggregate_name"]] = value
            if b["aggregate_name"] == "median":
                f.counter_median = counters
        else:
            f.samples.append(value)
            f.counter_samples.append(counters)

    def listed(self, key, seen):
        """Names in the order the run's context lists them under `key`, then
        any others in order of appearance."""
        named = [x for x in str(self.context.get(key, "")).split(",") if x in seen]
        return named + [x for x in dict.fromkeys(seen) if x not in named]

    @property
    def contenders(self):
        return self.listed("contenders", [n.contender for n in self.figures])

    @property
    def patterns(self):
        return self.listed("patterns", [n.pattern for n in self.figures])

    @property
    def types(self):
        return self.listed("types", [n.type for n in self.figures])

    @property
    def noisy_cv(self):
        """The cv above which the suite that made the run calls a figure noisy."""
        try:
            return float(self.context["noisy_cv"])
        except (KeyError, TypeError, ValueError):
            return None

    def values(self, type_name="int32", state="warm", figure="held"):
        """{(contender, pattern, size): the figure} of the sequential sorts
        of one type and cache state (see FIGURES); skipped cases and figures
        the run did not record are left out."""
        out = {}
        for n, f in self.figures.items():
            if n.type != type_name or n.state != state or n.threads or f.value is None:
                continue
            value = f.of(held(figure, n.threads))
            if value:
                out[(n.contender, n.pattern, n.size)] = value
        return out

    def require(self, values, what):
        if not values:
            raise ToolError(f"{self.path}: no {what} results")
        return values


def ratios_to(values, base="std_sort", min_size=1000):
    """{(contender, pattern): geometric mean, over the sizes of at least
    min_size that both ran, of the contender's figure over base's}."""
    per = {}
    for (c, p, n), v in values.items():
        b = values.get((base, p, n))
        if b and n >= min_size:
            per.setdefault((c, p), []).append(v / b)
    return {k: gmean(v) for k, v in per.items()}


def ratio_intervals(run, type_name="int32", state="warm", base="std_sort", min_size=1000, figure="held"):
    """{(contender, pattern): (low, high)}: the geometric mean over the same
    sizes as ratios_to of the widest ratio the repetitions allow (fastest
    over slowest, slowest over fastest). Repetitions of separate benchmarks
    do not pair, so this is a range, not a confidence interval; a cell
    without two repetitions on both sides has none."""
    figures = {(n.contender, n.pattern, n.size): f for n, f in run.figures.items()
               if n.type == type_name and n.state == state and not n.threads and f.value is not None}
    kind = held(figure)
    per = {}
    for (c, p, n), f in figures.items():
        b = figures.get((base, p, n))
        if b is None or n < min_size:
            continue
        mine, theirs = f.spread_of(kind), b.spread_of(kind)
        if mine is None or theirs is None:
            per.setdefault((c, p), []).append(None)
            continue
        per.setdefault((c, p), []).append((mine[0] / theirs[1], mine[1] / theirs[0]))
    return {k: (gmean(v[0] for v in vs), gmean(v[1] for v in vs)) for k, vs in per.items()
            if vs and None not in vs}


def tie(interval, other=None):
    """True when an interval (low, high) of a ratio crosses 1, or overlaps
    the interval of the runner-up it is ranked against."""
    if interval is None:
        return False
    low, high = interval
    if other is None:
        return low <= 1 <= high
    return not (high < other[0] or other[1] < low)


# --- paired rounds (sortbench-rounds) -------------------------------------

@dataclass
class RoundsCase:
    """One case of a rounds file: its members, the figure the ratios are
    taken of, and each member's figures per round (nanoseconds per call)."""
    name: str
    members: list
    figure: str            # "cpu" or "wall"
    ns: list               # [member][round], the figure
    wall: list
    copy: list             # the floor of each member's batches
    read: list
    stopped: str = ""
    processes: list = None  # rounds per process, in order; None: one process's
    written: list = None    # the ratios the file holds: [None, ProcessesRatio, ...]

    def pairs(self, m, against=0):
        """[(member `against`'s rounds, member m's rounds)], one pair a
        process; `against` is the reference unless named."""
        out, at = [], 0
        for k in self.processes or [len(self.ns[0])]:
            out.append((self.ns[against][at:at + k], self.ns[m][at:at + k]))
            at += k
        return out

    def ratio(self, m):
        """Member m against the reference: the figure the file holds, which
        the program stopped on and printed; else the same figure of its
        rounds (processes_ratio)."""
        if self.written and self.written[m] is not None:
            return self.written[m]
        return processes_ratio(self.pairs(m))


def written_ratios(c, members, rounds):
    """The "ratios" a rounds case holds, as ProcessesRatio; None where absent."""
    if "ratios" not in c:
        return None
    out = []
    for r in c["ratios"]:
        if r is None:
            out.append(None)
            continue
        low, high = r["interval"]
        out.append(ProcessesRatio(float(r["ratio"]), float(low), math.inf if high is None else float(high), rounds,
                                  int(r.get("processes", 1))))
    if len(out) != len(members) or out[0] is not None:
        raise ValueError
    return out


def load_rounds(source):
    """A sortbench-rounds JSON file: (group, [RoundsCase])."""
    name, doc = read_document(source)
    cases = []
    try:
        group = [str(g) for g in doc["group"]]
        for c in doc["cases"]:
            members = [str(m) for m in c.get("members", group)]
            ns = c["ns_per_call"]
            series = [ns] + [c.get(k, ns) for k in ("wall_ns", "copy_ns", "read_ns")]
            for s in series:
                if len(s) != len(members) or any(len(m) != len(ns[0]) for m in s):
                    raise ValueError
            if not all(isinstance(v, (int, float)) and v > 0 for m in ns for v in m) or not isinstance(c["case"], str):
                raise ValueError
            per = [int(k) for k in c.get("rounds_per_process", [len(ns[0])])]
            if sum(per) != len(ns[0]) or min(per) < 1:
                raise ValueError
            cases.append(RoundsCase(c["case"], members, c.get("figure", "wall"), *series, c.get("stopped", ""), per,
                                    written_ratios(c, members, len(ns[0]))))
    except (KeyError, TypeError, ValueError):
        raise ToolError(f"{name}: not sortbench-rounds JSON (a group and cases of times per round)") from None
    if not cases:
        raise ToolError(f"{name}: no cases")
    return group, cases


@dataclass
class MedianRatio:
    """B against A from paired rounds: the median of the round-by-round
    ratios and its distribution-free interval (order statistics)."""
    ratio: float
    low: float
    high: float
    pairs: int

    @property
    def interval(self):
        return (self.low, self.high)

    @property
    def half_width(self):
        return max(self.high / self.ratio - 1, 1 - self.low / self.ratio)

    def verdict(self):
        """B against A: faster or slower where the interval lies wholly on
        one side of 1, a tie where it crosses 1."""
        if self.high < 1:
            return "B faster"
        if self.low > 1:
            return "B slower"
        return "tie"


def median_ratio(a, b, level=1 - ALPHA):
    """The median of b[i]/a[i] with the interval from the j-th smallest to
    the j-th largest ratio, j the count of k whose binomial(n, 1/2) cdf is at
    most (1 - level)/2; an infinite interval below six pairs."""
    a, b = list(a), list(b)
    if len(a) != len(b) or not a:
        raise ToolError("paired samples need as many of A as of B")
    ratios = sorted(y / x for x, y in zip(a, b))
    n = len(ratios)
    j = sum(1 for k in range(n) if stats.binom.cdf(k, n, 0.5) <= (1 - level) / 2)
    mid = median(ratios)
    if j == 0:
        return MedianRatio(mid, 0.0, math.inf, n)
    return MedianRatio(mid, ratios[j - 1], ratios[n - j], n)


@dataclass
class ProcessesRatio(MedianRatio):
    """B against A over several processes, each with its own address-space
    layout and machine state: the interval says how many it rests on."""
    processes: int = 1

    def rests_on(self):
        return "one process's interval" if self.processes == 1 else f"{self.processes} processes"


def processes_ratio(pairs, level=1 - ALPHA):
    """B against A from the paired rounds of K processes, [(a, b)] one pair of
    series per process: the figure sortbench-rounds writes (processes_ratio
    in its engine), here for rounds read from separate files.

    Rounds within one process share its layout and its state, so they say
    nothing of how the next process differs: each process is summed up by its
    paired figure (the median ratio), and those K figures are the samples of
    the between-process level, a t interval on their logs (ratios multiply)
    with K - 1 degrees of freedom. Each figure carries its own process's
    noise, so the spread of the K figures holds both levels, the two-stage
    analysis of a nested design. Where the K figures agree by chance more
    closely than their rounds do, the interval of all rounds pooled is wider
    at an end, and that end is taken: neither level is left out. One process
    gives its own interval, and says so."""
    per = [median_ratio(a, b, level) for a, b in pairs]
    if not per:
        raise ToolError("no process to take a ratio from")
    if len(per) == 1:
        one = per[0]
        return ProcessesRatio(one.ratio, one.low, one.high, one.pairs, 1)
    logs = [math.log(r.ratio) for r in per]
    centre = statistics.fmean(logs)
    spread = float(stats.sem(logs))
    low, high = (centre, centre) if spread == 0 else stats.t.interval(level, len(logs) - 1, loc=centre, scale=spread)
    pooled = median_ratio([x for a, _ in pairs for x in a], [y for _, b in pairs for y in b], level)
    return ProcessesRatio(math.exp(centre), min(math.exp(low), pooled.low), max(math.exp(high), pooled.high),
                          sum(r.pairs for r in per), len(per))


def load_counts(source):
    """sortbench-counts --format=json output (a path, or a binary stream):
    its records, each with contender, type, pattern, size and the counts."""
    name, records = read_document(source)
    keys = ("contender", "type", "pattern", "size", "comparisons", "moves", "comparisons_per_element",
            "comparisons_per_n_log2_n")
    if not isinstance(records, list) or not records or \
            not all(isinstance(r, dict) and all(k in r for k in keys) for r in records):
        raise ToolError(f"{name}: not sortbench-counts JSON (a list of records with {', '.join(keys)})")
    return records


# --- sortbench's report ---------------------------------------------------

def parse_report(raw: bytes, build: Path, name="standard input"):
    """Reads a sortbench report, as the program writes it (Shift_JIS) or
    already converted to UTF-8. Returns (sizes, loops, {routine id: [us or None]})."""
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        text = raw.decode("shift_jis", errors="replace")
    ids = {r["label"].strip(): r["id"] for r in routines(build)}
    sizes = loops = None
    rows = {}
    for line in text.splitlines():
        cells = [c.strip() for c in line.split(",")]
        if len(cells) < 3:
            continue
        values = cells[2:-1]
        if sizes is None and values and all(re.fullmatch(r"\d+個", v) for v in values):
            sizes = [int(v[:-1]) for v in values]
        elif loops is None and values and all(re.fullmatch(r"\(\s*\d+回\)", v) for v in values):
            loops = [int(v[1:-2]) for v in values]
        elif cells[1] in ids:
            try:
                rows[ids[cells[1]]] = [None if v == "---" else float(v) for v in values]
            except ValueError:
                raise ToolError(f"{name}: not a number in the report row: {line.strip()}") from None
    if sizes is None or loops is None or not rows:
        raise ToolError(f"{name}: no sortbench report found")
    return sizes, loops, rows


# Instructions that valgrind is known to refuse, by their first bytes as its
# decoder prints them, and why. valgrind follows CPUID: RDTSCP runs natively
# on some VMs whose processor does not report it, and valgrind then refuses it.
VALGRIND_REFUSALS = [
    ((0x0F, 0x01, 0xF9), "valgrind cannot run RDTSCP here: this processor does not report it"),
    ((0x62,), "valgrind cannot run AVX-512 (an EVEX-encoded instruction)"),
]


def valgrind_failed(what, run):
    """Raises the error of `what`, a run under valgrind that failed, in one
    line: HostCannotRun where valgrind could not decode an instruction (a
    reason of the host), else a ToolError with the program's own last message
    where it wrote one, or the signal that ended it; never valgrind's closing
    summary."""
    stderr = run.stderr
    unhandled = re.search(r"unhandled instruction bytes:((?: 0x[0-9A-Fa-f]+)+)", stderr)
    if unhandled or "Unrecognised instruction" in stderr:
        codes = tuple(int(b, 16) for b in unhandled.group(1).split()) if unhandled else ()
        reason = next((why for prefix, why in VALGRIND_REFUSALS if codes[:len(prefix)] == prefix),
                      "valgrind cannot decode the instruction " + " ".join(f"{b:02X}" for b in codes[:6]))
        where = re.search(r"Unrecognised instruction at address 0x[0-9a-fA-F]+\.\s*\n\S*\s+at 0x[0-9A-Fa-f]+: (.+)",
                          stderr)
        raise HostCannotRun(f"{what}: {reason}" + (f", at {where.group(1).strip()}" if where else ""))
    signal = re.search(r"Process terminating with default action of signal \d+ \((\w+)\)", stderr)
    if signal:
        raise ToolError(f"{what}: killed by {signal.group(1)} under valgrind")
    mine = [line for line in stderr.splitlines()
            if line.strip() and not re.match(r"==\d+==", line) and not line.startswith(("vex ", "valgrind:"))]
    raise ToolError(f"{what}: {mine[-1] if mine else f'status {run.returncode}'}")
