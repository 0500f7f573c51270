#pragma once

#include <cstdint>
#include <utility>


namespace sorts {

namespace ex_quick {

// Ranges of this many elements or fewer are finished by insertion sort: below
// about 32 its low overhead beats another level of partitioning.
inline constexpr std::uint32_t insertion_limit = 32;

// Straight insertion: a[0 .. k-1] is sorted when step k begins; a[k] is held
// and every larger element moves up one place, one at a time.
template <class T>
void insertion_sort(T* a, std::uint32_t n)
{
    for (std::uint32_t k = 1; k < n; ++k) {
        const T key = a[k];
        std::uint32_t m = k;
        for (; m > 0 && key < a[m - 1]; --m) {
            a[m] = a[m - 1];
        }
        a[m] = key;
    }
}

}  // namespace ex_quick

// Quicksort around the middle element with a Hoare-style partition, finished
// by insertion sort.
template <class T>
[[gnu::noinline]] void ex_quick_sort(T* a, std::uint32_t n)
{
    while (n > ex_quick::insertion_limit) {
        const T p = a[n / 2];  // a value, not a position: it may move
        std::uint32_t i = 0;
        std::uint32_t j = n - 1;
        // No bound checks: the left scan stops at the pivot or at an element an
        // exchange put on the right, the right scan at the pivot or at one an
        // exchange put on the left. The split i ends in [1, n - 1].
        for (;;) {
            while (a[i] < p) {
                ++i;
            }
            while (p < a[j]) {
                --j;
            }
            if (i >= j) {
                break;
            }
            std::swap(a[i], a[j]);
            ++i;  // j stays: the next right scan looks at a[j] again
        }
        // Recurse into the smaller part and loop on the larger, so that the
        // stack grows with log n even when runs of equal values split at
        // n - 1. On distinct ascending input the parts are halves and the
        // left one goes first, as in a plain left-recursive quicksort.
        if (i <= n - i) {
            ex_quick_sort(a, i);
            a += i;
            n -= i;
        } else {
            ex_quick_sort(a + i, n - i);
            n = i;
        }
    }
    ex_quick::insertion_sort(a, n);
}

}  // namespace sorts
