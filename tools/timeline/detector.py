"""Change points in a series: E-divisive with means (Matteson and James,
"A nonparametric approach for multiple change point analysis of
multivariate data", 2014), univariate, with the moment index alpha = 1.

A split at tau of the values z[a:b] is scored by

    Q(tau) = m n / (m + n) * (2/(m n) sum |x_i - y_j| - sum_{i<k} |x_i - x_k| / C(m, 2)
                                                      - sum_{j<l} |y_j - y_l| / C(n, 2))

with x = z[a:tau] (m values) and y = z[tau:b] (n values): how much farther
apart the two sides lie than each side's own values do. The best split of
the best segment is kept where a permutation test says it is real: the
values of each segment are shuffled R times (a generator seeded once, so
that one series always gives the same answer) and the split's p is the
share of shuffles whose best score reaches it. Segments are split again
until no split is significant."""

from dataclasses import dataclass

import numpy as np


@dataclass
class Change:
    index: int      # the first point of the new level
    q: float
    p: float


def scores(z, a, b, min_size):
    """{tau: Q(tau)} for every split of z[a:b] that leaves min_size on each side."""
    d = np.abs(z[a:b, None] - z[None, a:b])
    # Sums over blocks of the distance matrix from its 2-D prefix sums.
    s = np.zeros((b - a + 1, b - a + 1))
    s[1:, 1:] = d.cumsum(0).cumsum(1)

    def block(r0, r1, c0, c1):
        return s[r1, c1] - s[r0, c1] - s[r1, c0] + s[r0, c0]

    out = {}
    t = b - a
    for k in range(min_size, t - min_size + 1):
        m, n = k, t - k
        between = 2 * block(0, k, k, t) / (m * n)
        within_x = block(0, k, 0, k) / (m * (m - 1)) if m > 1 else 0.0  # each pair twice over C(m, 2) pairs
        within_y = block(k, t, k, t) / (n * (n - 1)) if n > 1 else 0.0
        out[a + k] = m * n / (m + n) * (between - within_x - within_y)
    return out


def best_split(z, bounds, min_size):
    """(Q, tau) of the best split of any segment between `bounds`; None when
    no segment is long enough."""
    best = None
    for a, b in zip(bounds, bounds[1:]):
        for tau, q in scores(z, a, b, min_size).items():
            if best is None or q > best[0]:
                best = (q, tau)
    return best


def change_points(values, min_size=3, sig_level=0.05, permutations=199, seed=1):
    """The significant changes of a series, in order of index."""
    z = np.asarray(values, dtype=float)
    rng = np.random.default_rng(seed)
    bounds = [0, len(z)]
    found = []
    while True:
        best = best_split(z, bounds, min_size)
        if best is None:
            break
        q, tau = best
        reached = 0
        for _ in range(permutations):
            shuffled = z.copy()
            for a, b in zip(bounds, bounds[1:]):
                shuffled[a:b] = rng.permutation(shuffled[a:b])
            other = best_split(shuffled, bounds, min_size)
            reached += other is not None and other[0] >= q
        p = (reached + 1) / (permutations + 1)
        if p > sig_level:
            break
        found.append(Change(tau, q, p))
        bounds = sorted(bounds + [tau])
    return sorted(found, key=lambda c: c.index)
