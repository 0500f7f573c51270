#pragma once

#include <cstdint>
#include <utility>


namespace sorts {

// Shell's method with the gaps 1, 4, 13, 40, ... (h -> 3h + 1). The first gap
// is the first of the sequence that is not below n / 9, so that the first pass
// still compares about nine elements per chain.
template <class T>
[[gnu::noinline]] void shell_sort(T* a, std::uint32_t n)
{
    std::uint32_t h = 1;
    while (h < n / 9) {
        h = 3 * h + 1;
    }
    for (;;) {
        // Exchange neighbours at distance h rather than shifting a held value:
        // the routine is measured as written, with its exchanges.
        for (std::uint32_t i = h; i < n; ++i) {
            for (std::uint32_t j = i; j >= h && a[j] < a[j - h]; j -= h) {
                std::swap(a[j], a[j - h]);
            }
        }
        if (h < 3) {
            break;
        }
        h /= 3;  // retraces the sequence exactly: ..., 40, 13, 4, 1
    }
}

}  // namespace sorts
