// Measures of how far an array is from sorted, in the manner of cpp-sort's
// probes: they describe a pattern in numbers, so that a generator that
// changes shape is seen to.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

struct disorder {
    double inverted_fraction = 0;  // pairs i < j with a[j] < a[i], over all n (n - 1) / 2 pairs
    std::uint64_t ascending_runs = 0;  // maximal non-descending runs; 1 for sorted input, 0 for none
    std::uint64_t distinct = 0;        // distinct values
};

// O(n log n): inversions are counted while merge-sorting a copy.
template <class T>
disorder measure_disorder(std::span<const T> a)
{
    disorder d;
    const std::size_t n = a.size();
    if (n == 0) return d;
    d.ascending_runs = 1;
    for (std::size_t i = 1; i < n; ++i) d.ascending_runs += a[i] < a[i - 1];

    std::vector<T> v(a.begin(), a.end()), buf(n);
    std::uint64_t inversions = 0;
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const std::size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            std::size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) {
                if (v[j] < v[i]) {
                    inversions += mid - i;  // v[j] precedes every element left in the first half
                    buf[k++] = v[j++];
                } else {
                    buf[k++] = v[i++];
                }
            }
            while (i < mid) buf[k++] = v[i++];
            while (j < hi) buf[k++] = v[j++];
        }
        v.swap(buf);
    }
    d.inverted_fraction = n < 2 ? 0 : static_cast<double>(inversions) / (n * (n - 1.0) / 2);
    d.distinct = 1;
    for (std::size_t i = 1; i < n; ++i) d.distinct += v[i - 1] < v[i];
    return d;
}
