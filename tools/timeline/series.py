"""Series: one machine generation, one platform, one contender, one case,
one figure, over the records in order. The paired ratio to the reference
holds under load and leads; exact counts are series too, where any change
is a change. A series never mixes processor generations or platforms (the
compiler, the C library, the libraries' versions): asked to, it refuses."""

from collections import defaultdict
from dataclasses import dataclass, field

from benchdata import ToolError
from timeline.store import generation_of, platform_of


@dataclass(frozen=True)
class SeriesKey:
    generation: str
    platform: str
    contender: str
    case: str
    figure: str

    def __str__(self):
        return f"{self.contender} {self.case} {self.figure} [{self.generation}; {self.platform}]"

    def order(self):
        """Where the series is shown: by machine, then sort and case, and
        within them a ratio to a sweep's first build (ratio_to:NAME@COMMIT)
        first, the series that finds a step of a few per cent."""
        return self.generation, self.platform, self.contender, self.case, "@" not in self.figure, self.figure


@dataclass
class Point:
    commit: str          # the contender library's revision, else sortbench's commit
    date: str
    value: float
    low: float
    high: float
    samples: int
    exact: bool


@dataclass
class Series:
    key: SeriesKey
    points: list = field(default_factory=list)


def commit_of(record, contender):
    return record.libraries.get(contender) or record.sortbench_commit or "unknown"


def all_series(records, figure=None):
    """{SeriesKey: Series} of a store's records ([(Record, [Figure])]), each
    series's points in the records' order (a sweep's position, then the
    date); `figure` keeps one figure (e.g. ratio_to:std_sort)."""
    out = defaultdict(list)
    ordered = sorted(records, key=lambda rf: (rf[0].position is None, rf[0].position or 0, rf[0].date))
    for record, figures in ordered:
        for f in figures:
            if figure and f.figure != figure:
                continue
            key = SeriesKey(generation_of(record.machine), platform_of(record.machine), f.contender, f.case, f.figure)
            out[key].append(Point(commit_of(record, f.contender), record.date, f.value, f.low, f.high, f.samples,
                                  f.exact))
    return {k: Series(k, v) for k, v in out.items()}


def comparable(a, b):
    """Refuses, in one line, to set two series side by side across
    processor generations or platforms: a change there is not the sort's."""
    for what in ("generation", "platform"):
        x, y = getattr(a.key, what), getattr(b.key, what)
        if x != y:
            raise ToolError(f"these series are of different {what}s ({x} against {y}); a difference between them "
                            "is the machine's, not the sort's: compare within one")
