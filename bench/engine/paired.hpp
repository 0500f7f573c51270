// The paired figure: B against A from rounds in which both ran, round by
// round, on the same arrays. Every program that compares two contenders
// prints this one figure, from one process's rounds or from several.
#pragma once

#include <vector>

// The median of the ratios b[i]/a[i] and its 95% confidence interval from
// their order (the j-th smallest to the j-th largest ratio, j the count of k
// whose binomial(n, 1/2) cdf is at most 2.5%). Distribution free, so that
// the few rounds a burst of load hit on one side move it no more than any
// other round. The interval is (0, inf) below six pairs, too few for one.
// tools/benchdata.py's median_ratio is the same figure.
struct paired_ratio {
    double ratio;
    double low;
    double high;
    unsigned processes = 1;  // how many processes' rounds the interval rests on
    // Relative to the ratio: how far the interval reaches on its wider side.
    double half_width() const;
};
paired_ratio median_ratio(const std::vector<double>& a, const std::vector<double>& b);

// The interval's half-width, relative to the ratio: what the rounds stop on.
double paired_half_width(const std::vector<double>& a, const std::vector<double>& b);

// One process's rounds of A and of B.
struct paired_series {
    std::vector<double> a;
    std::vector<double> b;
};

// B against A from the rounds of several processes.
//
// Rounds within one process share its address-space layout and its state,
// so they say nothing of how the next process differs: each process is
// summed up by its median ratio, and those K figures are the samples of the
// between-process level, a t interval on their logs (ratios multiply) with
// K - 1 degrees of freedom. Each figure carries its own process's noise, so
// the spread of the K figures holds both levels: the two-stage analysis of a
// nested design, which needs no guess at how the levels' variances compare.
// Where the K figures agree by chance more closely than their rounds do,
// the interval of all rounds pooled is wider at an end, and that end is
// taken, so that neither level is left out. The ratio is the geometric mean
// of the K medians. One process gives its own median_ratio.
// tools/benchdata.py's processes_ratio is the same figure.
paired_ratio processes_ratio(const std::vector<paired_series>& processes);
