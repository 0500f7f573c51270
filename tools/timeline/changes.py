"""The changes of a series: where its level moved, by how much, how sure.

A timed series (the paired ratio) goes to the detector; a count is exact,
so any point that differs from the one before is a change. Each change
names the commit of its first point, the level before and after (the
medians of the two segments), their ratio with a 95% interval (a seeded
bootstrap of the ratio of medians, from scipy) and p. A ratio above 1 is
slower for a time and more for a count: both directions are reported."""

from dataclasses import dataclass

import numpy as np
from scipy import stats

from timeline.detector import change_points

SEED = 1


@dataclass
class FoundChange:
    series: str
    commit: str
    index: int
    before: float
    after: float
    ratio: float
    low: float
    high: float
    p: float

    @property
    def direction(self):
        return "up" if self.ratio > 1 else "down"

    def as_dict(self):
        return {"series": self.series, "commit": self.commit, "index": self.index, "before": self.before,
                "after": self.after, "ratio": self.ratio, "interval": [self.low, self.high], "p": self.p,
                "direction": self.direction}


def ratio_interval(before, after):
    if len(before) < 2 or len(after) < 2:
        return float("nan"), float("nan")
    result = stats.bootstrap((np.asarray(after), np.asarray(before)),
                             lambda a, b, axis: np.median(a, axis=axis) / np.median(b, axis=axis),
                             vectorized=True, paired=False, n_resamples=999, method="percentile",
                             random_state=np.random.default_rng(SEED))
    return float(result.confidence_interval.low), float(result.confidence_interval.high)


def changes_of(series, min_size=3, sig_level=0.05):
    """[FoundChange] of one Series, in commit order."""
    values = [p.value for p in series.points]
    if not values:
        return []
    if all(p.exact for p in series.points):
        cuts = [(i, 0.0) for i in range(1, len(values)) if values[i] != values[i - 1]]
    else:
        cuts = [(c.index, c.p) for c in change_points(values, min_size, sig_level, seed=SEED)]
    out = []
    bounds = [0] + [i for i, _ in cuts] + [len(values)]
    for k, (index, p) in enumerate(cuts):
        before, after = values[bounds[k]:index], values[index:bounds[k + 2]]
        b, a = float(np.median(before)), float(np.median(after))
        low, high = (a / b, a / b) if series.points[index].exact else ratio_interval(before, after)
        out.append(FoundChange(str(series.key), series.points[index].commit, index, b, a, a / b, low, high, p))
    return out
