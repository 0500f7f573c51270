"""Which commit made a sort slower: a binary search over the commits after
GOOD up to BAD, each midpoint timed against GOOD, that says so where the
answer is not one commit.

A midpoint is slow where its ratio to GOOD lies wholly above 1 + min_step
(its 95% interval), and otherwise on GOOD's side: a rebuild whose code
merely moved can run a percent apart from GOOD (the heapsort example did,
by placement alone), and is not the slowdown sought. BAD is taken as slow, as the user
says; it is timed only where the search ends on it, so that the commit
named is always one that was measured. N commits take at most
ceil(log2 N) midpoints and GOOD's build, one more where BAD is the answer.

Two outcomes are not one commit, and are said so rather than guessed:
- a midpoint that ties GOOD and also holds the slow level in its interval
  ties both sides: one process's rounds cannot place it;
- a slow midpoint whose interval lies wholly above the named commit's, by
  more than min_step again: the slowdown grows over several commits, and
  no single one made it. (Two processes of one build can lie a little
  apart; the margin keeps that from reading as growth.)"""

from dataclasses import dataclass, field


@dataclass
class Outcome:
    first_slow: int = None          # index into the commits; None: no slowdown found
    measured: dict = field(default_factory=dict)   # index: ratio to GOOD (with low, high)
    ties_both: list = field(default_factory=list)  # indexes that tie GOOD and the slow level
    grows: list = field(default_factory=list)      # indexes slower still than the one named

    @property
    def one_commit(self):
        return self.first_slow is not None and not self.ties_both and not self.grows


def slow(r, min_step=0.0):
    return r.low > 1 + min_step


def search(count, measure, min_step=0.0):
    """Outcome over `count` commits (BAD last), measure(i) giving commit
    i's ratio to GOOD; a slowdown of min_step or less is no slowdown."""
    out = Outcome()

    lo, hi = -1, count - 1
    while hi - lo > 1:
        mid = (lo + hi) // 2
        out.measured[mid] = measure(mid)
        if slow(out.measured[mid], min_step):
            hi = mid
        else:
            lo = mid
    if hi not in out.measured:
        out.measured[hi] = measure(hi)
    named = out.measured[hi]
    if not slow(named, min_step):
        return out
    out.first_slow = hi
    for i, r in sorted(out.measured.items()):
        if not slow(r, min_step) and r.low <= named.ratio <= r.high:
            out.ties_both.append(i)
        elif i > hi and r.low > named.high * (1 + min_step):
            out.grows.append(i)
    return out
