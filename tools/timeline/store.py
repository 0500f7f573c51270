"""The history's store: one SQLite file of records. A record is one run of
one of the programs, on one machine, at one commit of sortbench and of each
contender library, with every figure the run's file holds: its value, its
interval where it has one, and how many samples it rests on.

Each record is written in one transaction, so that a writer killed part-way
leaves the store as it was, and two writers at once both land (the second
waits for the first). Records carry a unique id, so that merging another
machine's store twice adds nothing."""

import json
import sqlite3
from dataclasses import dataclass, field
from pathlib import Path

from benchdata import ToolError

# PRAGMA application_id marks the file as a sortbench history ("SBHS"), so
# that another program's SQLite file is refused rather than written into.
APPLICATION_ID = 0x53424853
# PRAGMA user_version: the schema's version. A store made by an older
# version is read (and brought up to date); a newer one is refused.
SCHEMA_VERSION = 1
# How long a writer waits for another to finish its record.
BUSY_SECONDS = 120

SCHEMA = """
CREATE TABLE machine (
    id INTEGER PRIMARY KEY,
    key TEXT NOT NULL UNIQUE,          -- every field below, as JSON
    generation TEXT NOT NULL,          -- vendor, family, model: what a series never mixes
    platform TEXT NOT NULL,            -- compiler, glibc and the libraries' versions: nor this
    description TEXT NOT NULL          -- the whole machine, as JSON
);
CREATE TABLE record (
    id INTEGER PRIMARY KEY,
    uid TEXT NOT NULL UNIQUE,
    machine INTEGER NOT NULL REFERENCES machine(id),
    date TEXT NOT NULL,
    command TEXT NOT NULL,
    kind TEXT NOT NULL,                -- rounds, suite, counts, or build_failed
    sortbench_commit TEXT,
    position INTEGER,                  -- the commit's place in a sweep's range, where there is one
    note TEXT NOT NULL DEFAULT ''
);
CREATE TABLE library (
    record INTEGER NOT NULL REFERENCES record(id),
    name TEXT NOT NULL,
    revision TEXT NOT NULL,
    PRIMARY KEY (record, name)
);
CREATE TABLE figure (
    record INTEGER NOT NULL REFERENCES record(id),
    contender TEXT NOT NULL,
    case_name TEXT NOT NULL,           -- pattern/size[/type][/cold]
    figure TEXT NOT NULL,              -- ratio_to:REFERENCE, comparisons, moves, cpu_ns, ...
    value REAL NOT NULL,
    low REAL,
    high REAL,
    samples INTEGER NOT NULL,
    exact INTEGER NOT NULL             -- a count: any change in it is a change
);
CREATE INDEX figure_series ON figure (contender, case_name, figure);
"""


@dataclass
class Figure:
    contender: str
    case: str
    figure: str
    value: float
    low: float = None
    high: float = None
    samples: int = 1
    exact: bool = False


@dataclass
class Record:
    uid: str
    machine: dict                  # vendor, family, model, stepping, microcode, caches, kernel, compiler, ...
    date: str
    command: str
    kind: str
    sortbench_commit: str = None
    libraries: dict = field(default_factory=dict)   # contender library: its commit, else its file's hash
    position: int = None
    note: str = ""


# What a series never mixes: the processor's generation, and the platform the
# sorts were built and linked against.
GENERATION = ("vendor", "family", "model")
PLATFORM = ("compiler", "glibc", "highway", "boost", "onetbb")


def generation_of(machine):
    return " ".join(f"{k} {machine.get(k, 'unknown')}" for k in GENERATION)


def platform_of(machine):
    return ", ".join(f"{k} {machine.get(k, 'unknown')}" for k in PLATFORM)


class Store:
    """An open history file. Opening refuses, in one line, a file that is
    not SQLite or is damaged, another program's SQLite file, and a store
    made by a newer version."""

    def __init__(self, path, create=True):
        self.path = Path(path)
        if not create and not self.path.exists():
            raise ToolError(f"{self.path}: no such store")
        try:
            self.db = sqlite3.connect(self.path, timeout=BUSY_SECONDS, isolation_level=None)
            self.db.execute("PRAGMA foreign_keys = ON")
            self._check_or_create()
        except sqlite3.OperationalError as e:
            raise self.busy(e) from None
        except sqlite3.DatabaseError as e:
            raise ToolError(f"{self.path}: not a sortbench history, or a damaged one ({e})") from None

    def busy(self, e):
        if "locked" in str(e):
            return ToolError(f"{self.path}: another process kept it locked for {BUSY_SECONDS} s")
        return ToolError(f"{self.path}: {e}")

    def _check_or_create(self):
        app = self.db.execute("PRAGMA application_id").fetchone()[0]
        version = self.db.execute("PRAGMA user_version").fetchone()[0]
        tables = self.db.execute("SELECT count(*) FROM sqlite_master").fetchone()[0]
        if app == 0 and tables == 0:
            self.db.execute("BEGIN IMMEDIATE")
            try:
                # Another writer may have made it while this one waited.
                if self.db.execute("SELECT count(*) FROM sqlite_master").fetchone()[0] == 0:
                    for statement in SCHEMA.split(";"):
                        if statement.strip():
                            self.db.execute(statement)
                    self.db.execute(f"PRAGMA application_id = {APPLICATION_ID}")
                    self.db.execute(f"PRAGMA user_version = {SCHEMA_VERSION}")
                self.db.execute("COMMIT")
            except BaseException:
                self.db.execute("ROLLBACK")
                raise
            return
        if app != APPLICATION_ID:
            raise ToolError(f"{self.path}: an SQLite file of another program, not a sortbench history")
        if version > SCHEMA_VERSION:
            raise ToolError(f"{self.path}: made by a newer sortbench (history schema {version}; this one reads up "
                            f"to {SCHEMA_VERSION})")

    def close(self):
        self.db.close()

    def has(self, uid):
        return self.db.execute("SELECT 1 FROM record WHERE uid = ?", (uid,)).fetchone() is not None

    def add(self, record, figures):
        """Writes a record and its figures (any iterable of Figure) in one
        transaction; False when a record of that uid is already there."""
        db = self.db
        try:
            db.execute("BEGIN IMMEDIATE")
        except sqlite3.OperationalError as e:
            raise self.busy(e) from None
        try:
            if self.has(record.uid):
                db.execute("ROLLBACK")
                return False
            key = json.dumps(record.machine, sort_keys=True)
            db.execute("INSERT OR IGNORE INTO machine (key, generation, platform, description) VALUES (?, ?, ?, ?)",
                       (key, generation_of(record.machine), platform_of(record.machine), key))
            machine = db.execute("SELECT id FROM machine WHERE key = ?", (key,)).fetchone()[0]
            rid = db.execute("INSERT INTO record (uid, machine, date, command, kind, sortbench_commit, position, note) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                             (record.uid, machine, record.date, record.command, record.kind,
                              record.sortbench_commit, record.position, record.note)).lastrowid
            db.executemany("INSERT INTO library (record, name, revision) VALUES (?, ?, ?)",
                           [(rid, name, rev) for name, rev in sorted(record.libraries.items())])
            for f in figures:
                db.execute("INSERT INTO figure (record, contender, case_name, figure, value, low, high, samples, "
                           "exact) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                           (rid, f.contender, f.case, f.figure, f.value, f.low, f.high, f.samples, int(f.exact)))
            db.execute("COMMIT")
            return True
        except BaseException:
            db.execute("ROLLBACK")
            raise

    def records(self):
        """Every record, oldest first, with its figures: [(Record, [Figure])]."""
        out = []
        rows = self.db.execute("SELECT r.id, r.uid, m.description, r.date, r.command, r.kind, r.sortbench_commit, "
                               "r.position, r.note FROM record r JOIN machine m ON m.id = r.machine "
                               "ORDER BY r.date, r.id").fetchall()
        for rid, uid, machine, date, command, kind, commit, position, note in rows:
            libraries = dict(self.db.execute("SELECT name, revision FROM library WHERE record = ?", (rid,)))
            figures = [Figure(c, k, f, v, lo, hi, s, bool(e)) for c, k, f, v, lo, hi, s, e in self.db.execute(
                "SELECT contender, case_name, figure, value, low, high, samples, exact FROM figure WHERE record = ? "
                "ORDER BY rowid", (rid,))]
            out.append((Record(uid, json.loads(machine), date, command, kind, commit, libraries, position, note),
                        figures))
        return out

    def merge(self, other):
        """Brings in every record of another store that this one lacks, a
        transaction each; returns how many came in."""
        source = Store(other, create=False)
        try:
            return sum(self.add(record, figures) for record, figures in source.records())
        finally:
            source.close()
