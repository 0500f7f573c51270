"""Built libraries timed and counted by the programs: paired rounds of
several builds side by side (sortbench-rounds), and their exact counts
(sortbench-counts). Every figure comes back as a record's figures."""

import io
import re
import subprocess
import tempfile
from pathlib import Path

from benchdata import ToolError, executable, load_counts, load_rounds, processes_ratio, read_document
from timeline.sources import counts_figures, rounds_figures


def run(command):
    done = subprocess.run([str(c) for c in command], capture_output=True, text=True)
    if done.returncode != 0:
        said = (done.stderr.strip() or done.stdout.strip() or f"exit status {done.returncode}").splitlines()[-1]
        name = Path(command[0]).name
        raise ToolError(said if said.startswith(name + ":") else f"{name}: {said}")
    return done.stdout


class Timed:
    """One sortbench-rounds run of named libraries (and a reference from the
    registry first, where there is one): its document and its cases.

    A member given as a list of placement copies is timed at each: process k
    of `processes` loads copy k of every such member, and the processes'
    files are merged, so that the interval holds what placement does."""

    def __init__(self, build, members, case_filter, budget_s, processes, reference=None, width=None):
        group = ([reference] if reference else []) + [name for name, _ in members]
        common = [executable(build, "sortbench-rounds"), "--group=" + ",".join(group), f"--filter={case_filter}",
                  "--full_grid", *([f"--width={width}"] if width else [])]
        placed = any(isinstance(path, list) for _, path in members)
        with tempfile.TemporaryDirectory(prefix="sortbench-timed-") as folder:
            out = Path(folder) / "rounds.json"
            if not placed:
                run([*common, *[f"--contender={name}={path}" for name, path in members], f"--budget_s={budget_s}",
                     f"--processes={processes}", f"--out={out}"])
            else:
                parts = []
                for k in range(processes):
                    parts.append(Path(folder) / f"placement{k + 1}.json")
                    run([*common, *[f"--contender={name}={path[k] if isinstance(path, list) else path}"
                                    for name, path in members],
                         f"--budget_s={max(1, round(budget_s / processes))}", "--processes=1", f"--out={parts[-1]}"])
                run([executable(build, "sortbench-rounds"), *[f"--combine={f}" for f in parts], f"--out={out}"])
            self.raw = out.read_bytes()
            _, self.doc = read_document(out)
            self.group, self.cases = load_rounds(out)

    def figures(self, contender):
        """A member's ratio to the reference of the run, per case."""
        return [f for f in rounds_figures(self.doc) if f.contender == contender]

    def ratio(self, case, before, after):
        """after/before over the run's processes, from their paired rounds."""
        members = case.members
        return processes_ratio(case.pairs(members.index(after), against=members.index(before)))


def counts_filter(name, case_filter):
    """sortbench-counts' filter (contender/pattern/size[/type]) for one
    library's cases of a rounds filter (pattern/size[/type])."""
    body = case_filter[1:] if case_filter.startswith("^") else f".*(?:{case_filter})"
    return f"^{re.escape(name)}/{body}"


def counted(build, name, path, case_filter):
    """A library's exact counts on the cases of a rounds filter."""
    text = run([executable(build, "sortbench-counts"), f"--contender={name}={path}", "--full_grid",
                f"--filter={counts_filter(name, case_filter)}", "--format=json"])
    rows = load_counts(io.BytesIO(text.encode())) if text.strip() not in ("", "[]") else []
    pattern = re.compile(case_filter)
    return [f for f in counts_figures(rows) if f.contender == name and pattern.search(f.case)]
