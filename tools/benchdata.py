"""What the scripts in tools/ share: where the build is, the routine list the
build writes, sortbench's report and the companion suite's JSON as numbers,
and one-line errors instead of tracebacks."""

import json
import os
import re
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent

# Google Benchmark's time units, in nanoseconds.
NS_PER_UNIT = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


class ToolError(Exception):
    """A problem the user can fix; printed as one line."""


def run_tool(main):
    """Runs main(), turning expected failures into one line and status 1."""
    name = Path(sys.argv[0]).name
    try:
        main()
    except ToolError as e:
        sys.exit(f"{name}: {e}")
    except OSError as e:
        sys.exit(f"{name}: {e.filename or ''}{': ' if e.filename else ''}{e.strerror}")
    except KeyboardInterrupt:
        sys.exit(130)


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
    path = build / "routines.json"
    try:
        return json.loads(path.read_text())
    except FileNotFoundError:
        raise ToolError(f"{path} is missing: run `make` in {REPO} first") from None
    except json.JSONDecodeError as e:
        raise ToolError(f"{path}: not valid JSON ({e})") from None


def parse_report(raw: bytes, build: Path):
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
                raise ToolError(f"not a number in the report row: {line.strip()}") from None
    if sizes is None or loops is None or not rows:
        raise ToolError("no sortbench report found in the input")
    return sizes, loops, rows


def load_benchmarks(source):
    """The runs of a Google Benchmark JSON file (a path, or a binary stream),
    each with real_ns and cpu_ns added: the times in nanoseconds."""
    name = getattr(source, "name", str(source))
    try:
        if hasattr(source, "read"):
            doc = json.loads(source.read() or b"null")
        else:
            doc = json.loads(Path(source).read_bytes())
        runs = doc["benchmarks"]
    except json.JSONDecodeError as e:
        raise ToolError(f"{name}: not Google Benchmark JSON ({e})") from None
    except (TypeError, KeyError):
        raise ToolError(f"{name}: not Google Benchmark JSON (no \"benchmarks\" list)") from None
    try:
        for b in runs:
            scale = NS_PER_UNIT.get(b.get("time_unit", "ns"), 1.0)
            if "real_time" in b:
                b["real_ns"] = float(b["real_time"]) * scale
                b["cpu_ns"] = float(b.get("cpu_time", b["real_time"])) * scale
    except (TypeError, ValueError, AttributeError):
        raise ToolError(f"{name}: not Google Benchmark JSON (a benchmark without times)") from None
    return doc, runs


# The element types whose names carry them after the size; int32's do not.
TYPES = ("int64", "double", "kv16", "string")


def element_type(rest) -> str:
    """The element type of a name whose parts after the size are `rest`."""
    return rest[0] if rest and rest[0] in TYPES else "int32"


def split_name(run_name: str):
    """routine/pattern/size[/state...] -> (routine, pattern, size, rest)."""
    parts = run_name.split("/")
    if len(parts) < 3 or not parts[2].isdigit():
        raise ToolError(f"unexpected benchmark name {run_name!r}")
    return parts[0], parts[1], int(parts[2]), parts[3:]


def suite_figures(runs, state="warm", type_name="int32"):
    """{(routine, pattern, size): nanoseconds per call} for one cache state
    and element type, sequential sorts only (no thread axis):
    the median aggregate where the run had repetitions, else the mean of the
    plain runs. Errored (skipped) benchmarks are left out."""
    medians, plain = {}, {}
    for b in runs:
        if b.get("error_occurred") or "real_ns" not in b:
            continue
        routine, pattern, size, rest = split_name(b["run_name"])
        if (("cold" in rest) != (state == "cold") or element_type(rest) != type_name
                or any(part.startswith("threads:") for part in rest)):
            continue
        key = (routine, pattern, size)
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                medians[key] = b["real_ns"]
        else:
            plain.setdefault(key, []).append(b["real_ns"])
    figures = {k: sum(v) / len(v) for k, v in plain.items()}
    figures.update(medians)
    if not figures:
        raise ToolError(f"no {state} {type_name} results in the input")
    return figures


def suite_order(doc, figures):
    """(contenders, patterns) in the suite's own order, as its context names
    them; for older files, in order of first appearance."""
    context = doc.get("context", {})
    seen_contenders = list(dict.fromkeys(r for r, _, _ in figures))
    seen_patterns = list(dict.fromkeys(p for _, p, _ in figures))
    contenders = [c for c in context.get("contenders", "").split(",") if c in seen_contenders]
    patterns = [p for p in context.get("patterns", "").split(",") if p in seen_patterns]
    return contenders or seen_contenders, patterns or seen_patterns
