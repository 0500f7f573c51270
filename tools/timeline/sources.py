"""What a program's file holds, as a record's figures: a rounds file's
ratios to its reference (the paired figure, with its interval), a suite
run's times per call, a counts file's comparisons and moves (exact). The
machine comes from the file's context; a counts file has none, so the
machine recording it stands in, and the record says so."""

import datetime
import hashlib
import platform
from pathlib import Path

from benchdata import SuiteRun, ToolError, read_document
from timeline.store import Figure

# The context keys that describe the machine, as the programs write them.
CONTEXT_KEYS = {"vendor": "cpu_vendor", "family": "cpu_family", "model": "cpu_model_number",
                "stepping": "cpu_stepping", "microcode": "cpu_microcode", "caches": "cpu_caches",
                "kernel": "kernel", "compiler": "compiler", "glibc": "glibc", "highway": "highway_version",
                "boost": "boost_version", "onetbb": "onetbb_version"}


def machine_of(context):
    """The machine a file's context describes; "unknown" for what it lacks."""
    return {k: str(context.get(key, "unknown")) for k, key in CONTEXT_KEYS.items()}


def this_machine():
    """The machine this runs on, from /proc/cpuinfo and the kernel, for a
    file that carries no context; the libraries it cannot know stay unknown."""
    info = {}
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            k, _, v = line.partition(":")
            info.setdefault(k.strip(), v.strip())
            if not line.strip():
                break
    except OSError:
        pass
    caches = []
    for level in sorted(Path("/sys/devices/system/cpu/cpu0/cache").glob("index*")):
        try:
            kind = (level / "type").read_text().strip()
            name = {"Data": "d", "Instruction": "i"}.get(kind, "")
            caches.append(f"L{(level / 'level').read_text().strip()}{name} {(level / 'size').read_text().strip()}")
        except OSError:
            continue
    machine = {k: "unknown" for k in CONTEXT_KEYS}
    machine.update({"vendor": info.get("vendor_id", "unknown"), "family": info.get("cpu family", "unknown"),
                    "model": info.get("model", "unknown"), "stepping": info.get("stepping", "unknown"),
                    "microcode": info.get("microcode", "unknown"), "caches": ", ".join(caches) or "unknown",
                    "kernel": platform.release(), "glibc": platform.libc_ver()[1] or "unknown"})
    return machine


def rounds_figures(doc):
    group = doc["group"]
    for c in doc["cases"]:
        members = c.get("members", group)
        rounds = len(c["ns_per_call"][0])
        for m, ratio in enumerate(c.get("ratios") or []):
            if ratio is None:
                continue
            low, high = ratio["interval"]
            yield Figure(members[m], c["case"], f"ratio_to:{members[0]}", float(ratio["ratio"]), low, high, rounds)


def suite_figures(run):
    """Each benchmark's wall and CPU time per call: the median of its
    repetitions, the fastest and slowest beside it (a range, not an
    interval: repetitions of separate benchmarks do not pair)."""
    for name, f in run.figures.items():
        if f.value is None:
            continue
        case = str(name)[len(name.contender) + 1:]
        for kind in ("wall", "cpu"):
            value, spread = f.of(kind), f.spread_of(kind)
            if value is not None:
                yield Figure(name.contender, case, f"{kind}_ns", value, spread[0] if spread else None,
                             spread[1] if spread else None, max(1, f.repetitions))


COUNT_KEYS = ("contender", "type", "pattern", "size")


def counts_figures(rows):
    for row in rows:
        case = f"{row['pattern']}/{row['size']}" + (f"/{row['type']}" if row["type"] != "int32" else "")
        for key in ("comparisons", "moves"):
            if isinstance(row.get(key), (int, float)):
                yield Figure(row["contender"], case, key, float(row[key]), float(row[key]), float(row[key]), 1, True)


def read_source(path):
    """(kind, machine, sortbench commit, note, [Figure]) of one file a
    program of ours wrote; one line and ToolError for any other. The note
    says where the machine came from when the file names none."""
    name, doc = read_document(path)
    try:
        if isinstance(doc, dict) and "group" in doc and "cases" in doc:
            context = doc.get("context", {})
            return "rounds", machine_of(context), context.get("git_commit"), "", list(rounds_figures(doc))
        if isinstance(doc, dict) and "benchmarks" in doc:
            run = SuiteRun(path)
            return "suite", machine_of(run.context), run.context.get("git_commit"), "", list(suite_figures(run))
        if isinstance(doc, list) and doc and all(isinstance(r, dict) and all(k in r for k in COUNT_KEYS) for r in doc):
            return ("counts", this_machine(), None, "machine: the one that recorded it (a counts file names none)",
                    list(counts_figures(doc)))
    except (KeyError, TypeError, ValueError, IndexError):
        pass
    raise ToolError(f"{name}: not a file that sortbench's programs write (rounds, suite or counts JSON)")


def library_revision(path):
    """A library's file hash, where no commit is given for it."""
    digest = hashlib.sha256(Path(path).read_bytes()).hexdigest()
    return f"sha256:{digest[:16]}"


def now():
    return datetime.datetime.now(datetime.timezone.utc).isoformat(timespec="seconds")


def uid_of(path):
    """A record's id: its file's content, so that recording one file twice,
    or merging a store twice, adds it once."""
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()
