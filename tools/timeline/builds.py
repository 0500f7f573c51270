"""Builds of a contender library at commits of the git repository it is kept
in. Each commit is checked out in a worktree of its own (the user's
checkout is never touched), built there with the user's command, and the
library it leaves is copied aside under the commit's name, so that two
commits' builds can be loaded side by side. A failed build is a result
too: its last lines are kept for the record.

Where the build command links $SORTBENCH_LAYOUT_PAD first (a C file of one
unused function), --layouts K builds each commit K times, the function a
different size each time, so that the sort's code lies elsewhere in its
page in each copy: what placement alone does to a build can then be timed
apart from what its commit did. The sizes are drawn from the commit's name,
so that one commit always gets the same copies and the next commit others."""

import hashlib
import os
import shutil
import subprocess
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path

from benchdata import ToolError

# How much of a failed build's output a record keeps.
FAILURE_LINES = 5
# The variable that names the padding file a build may link first.
PAD = "SORTBENCH_LAYOUT_PAD"
# Pads of 0 to 4095 bytes move the code anywhere in its 4 KiB page.
PAGE = 4096


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
    copies: list = None       # with --layouts, the library at each placement (the first is `library`)

    @property
    def timed(self):
        """What the programs time: the copies where there are several."""
        return self.copies or self.library


def pad_bytes(commit, k):
    """The size of the k-th copy's pad at a commit: fixed by the commit."""
    return int.from_bytes(hashlib.sha256(f"{commit.sha}:{k}".encode()).digest()[:4], "little") % PAGE


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

    def __init__(self, repo, command, library, layouts=0):
        self.repo = repo
        self.command = command
        self.library = Path(library)
        self.layouts = layouts
        if self.library.is_absolute():
            raise ToolError(f"--library {library}: a path inside the worktree, relative to its top")
        self.folder = Path(tempfile.mkdtemp(prefix="sortbench-builds-"))
        self.count = 0      # commits built, failed ones too
        self.made = 0       # builds run, a commit's placement copies each

    def close(self):
        shutil.rmtree(self.folder, ignore_errors=True)
        subprocess.run(["git", "-C", str(self.repo.path), "worktree", "prune"], capture_output=True)

    def build(self, commit):
        """The commit built once (a pad of 0 bytes), or once a placement."""
        self.count += 1
        if not self.layouts:
            return self.build_once(commit, 0)
        copies = []
        for k in range(self.layouts):
            built = self.build_once(commit, pad_bytes(commit, k))
            if built.library is None:
                return built
            copies.append(built)
        if len({c.library.read_bytes() for c in copies}) == 1:
            raise ToolError(f"--layouts: {commit.short} built the same library at every placement: the build "
                            f"command must link ${PAD} first (cc ... \"${PAD}\" sort.c)")
        return Built(commit, copies[0].library, "", sum(c.seconds for c in copies), [c.library for c in copies])

    def build_once(self, commit, pad):
        self.made += 1
        tree = self.folder / f"tree-{commit.short}-{self.made}"
        started = time.monotonic()
        git(self.repo.path, "worktree", "add", "--detach", "--force", str(tree), commit.sha)
        try:
            source = self.folder / f"layout_pad_{pad}.c"
            source.write_text(f"/* {pad} bytes linked before the sort, to move its code in its page. */\n"
                              "__attribute__((used)) static void sortbench_layout_pad(void)\n"
                              f"{{\n    __asm__ volatile(\".skip {pad}, 0x90\");\n}}\n")
            run = subprocess.run(["bash", "-c", self.command], cwd=tree, capture_output=True, text=True,
                                 env={**os.environ, PAD: str(source)})
            made = tree / self.library
            if run.returncode != 0 or not made.is_file():
                said = (run.stdout + run.stderr).strip().splitlines()[-FAILURE_LINES:]
                why = (f"exit status {run.returncode}" if run.returncode != 0
                       else f"the build left no {self.library}")
                return Built(commit, None, "; ".join([why] + said), time.monotonic() - started)
            # One folder a build, the library keeping its file name: the
            # programs name a contender after it unless told otherwise.
            kept = self.folder / f"{commit.short}-{self.made}" / self.library.name
            kept.parent.mkdir()
            shutil.copy2(made, kept)
            return Built(commit, kept, "", time.monotonic() - started)
        finally:
            subprocess.run(["git", "-C", str(self.repo.path), "worktree", "remove", "--force", str(tree)],
                           capture_output=True)

