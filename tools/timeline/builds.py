"""Builds of a contender library at commits of the git repository it is kept
in. Each commit is checked out in a worktree of its own (the user's
checkout is never touched), built there with the user's command, and the
library it leaves is copied aside under the commit's name, so that two
commits' builds can be loaded side by side. A failed build is a result
too: its last lines are kept for the record."""

import shutil
import subprocess
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path

from benchdata import ToolError

# How much of a failed build's output a record keeps.
FAILURE_LINES = 5


@dataclass
class Commit:
    sha: str
    subject: str

    @property
    def short(self):
        return self.sha[:10]


@dataclass
class Built:
    commit: Commit
    library: Path = None      # None: the build failed
    failure: str = ""
    seconds: float = 0.0


def git(repo, *args):
    run = subprocess.run(["git", "-C", str(repo), *args], capture_output=True, text=True)
    if run.returncode != 0:
        raise ToolError(f"git {' '.join(args)} in {repo}: {run.stderr.strip().splitlines()[-1:] or ['failed']}"[:300])
    return run.stdout


class Repository:
    def __init__(self, repo):
        self.path = Path(repo).resolve()
        if not self.path.is_dir():
            raise ToolError(f"{repo}: no such folder")
        check = subprocess.run(["git", "-C", str(self.path), "rev-parse", "--git-dir"], capture_output=True)
        if check.returncode != 0:
            raise ToolError(f"{repo}: not a git repository")

    def commit(self, rev):
        """The commit a revision names; one line where there is none."""
        run = subprocess.run(["git", "-C", str(self.path), "rev-parse", "--verify", "--quiet", f"{rev}^{{commit}}"],
                             capture_output=True, text=True)
        if run.returncode != 0 or not run.stdout.strip():
            raise ToolError(f"no commit '{rev}' in {self.path}")
        sha = run.stdout.strip()
        return Commit(sha, git(self.path, "log", "-1", "--format=%s", sha).strip())

    def parent(self, commit):
        parents = git(self.path, "log", "-1", "--format=%P", commit.sha).split()
        if not parents:
            raise ToolError(f"{commit.short} has no parent to compare it with: name the other side")
        return self.commit(parents[0])

    def merge_base(self, a, b):
        return self.commit(git(self.path, "merge-base", a.sha, b.sha).strip())

    def between(self, first, last):
        """The commits after `first` up to and including `last`, oldest
        first, along the first parents (a merged branch counts as its merge)."""
        shas = git(self.path, "rev-list", "--first-parent", "--reverse", f"{first.sha}..{last.sha}").split()
        return [self.commit(s) for s in shas]

    def span(self, text):
        """A..B: A, then every commit after it up to B (A itself is a point
        of the series, the level the next ones are held against)."""
        first, sep, last = text.partition("..")
        if not sep or not first or not last:
            raise ToolError(f"--range takes A..B, not '{text}'")
        a, b = self.commit(first), self.commit(last)
        later = self.between(a, b)
        if not later:
            raise ToolError(f"the range {text} holds no commit after {a.short}: is {b.short} after it?")
        return [a] + later


class Builder:
    """Builds commits with one command, each in a fresh worktree, into a
    folder of its own that lives as long as the builder."""

    def __init__(self, repo, command, library):
        self.repo = repo
        self.command = command
        self.library = Path(library)
        if self.library.is_absolute():
            raise ToolError(f"--library {library}: a path inside the worktree, relative to its top")
        self.folder = Path(tempfile.mkdtemp(prefix="sortbench-builds-"))
        self.count = 0      # builds run, failed ones too

    def close(self):
        shutil.rmtree(self.folder, ignore_errors=True)
        subprocess.run(["git", "-C", str(self.repo.path), "worktree", "prune"], capture_output=True)

    def build(self, commit):
        self.count += 1
        tree = self.folder / f"tree-{commit.short}-{self.count}"
        started = time.monotonic()
        git(self.repo.path, "worktree", "add", "--detach", "--force", str(tree), commit.sha)
        try:
            run = subprocess.run(["bash", "-c", self.command], cwd=tree, capture_output=True, text=True)
            made = tree / self.library
            if run.returncode != 0 or not made.is_file():
                said = (run.stdout + run.stderr).strip().splitlines()[-FAILURE_LINES:]
                why = (f"exit status {run.returncode}" if run.returncode != 0
                       else f"the build left no {self.library}")
                return Built(commit, None, "; ".join([why] + said), time.monotonic() - started)
            # One folder a build, the library keeping its file name: the
            # programs name a contender after it unless told otherwise.
            kept = self.folder / f"{commit.short}-{self.count}" / self.library.name
            kept.parent.mkdir()
            shutil.copy2(made, kept)
            return Built(commit, kept, "", time.monotonic() - started)
        finally:
            subprocess.run(["git", "-C", str(self.repo.path), "worktree", "remove", "--force", str(tree)],
                           capture_output=True)

