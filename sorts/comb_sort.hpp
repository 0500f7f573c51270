#pragma once

#include <cstdint>
#include <utility>


namespace sorts {

// Comb sort with the shrink factor 13/10, as an integer multiply by 10 and
// divide by 13. The gap shrinks once before the first pass, even for small n;
// there is no floor of 1 and no special case for gaps 9 and 10, because the
// benchmark compares this plain form. Passes with gap 1 repeat until one of
// them exchanges nothing.
template <class T>
[[gnu::noinline]] void comb_sort(T* a, std::uint32_t n)
{
    std::uint32_t gap = n;
    for (;;) {
        // In 64 bits: gap * 10 would wrap in 32 bits once n passes 429496729.
        gap = static_cast<std::uint32_t>(std::uint64_t{gap} * 10 / 13);
        bool swapped;
        do {
            swapped = false;
            for (std::uint32_t i = 0; gap < n && i < n - gap; ++i) {
                if (a[i + gap] < a[i]) {
                    std::swap(a[i], a[i + gap]);
                    swapped = true;
                }
            }
        } while (gap < 2 && swapped);
        // From gap 2 the shrink gives 1 (2 * 10 / 13), never 0; the gap is 0
        // only when n <= 1, where the single pass has nothing to exchange.
        if (gap < 2) {
            break;
        }
    }
}

}  // namespace sorts
