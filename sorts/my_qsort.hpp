#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "sorts/order.hpp"

namespace sorts {

namespace my_qsort {

// As in the quick+insert sort: ranges this small are finished by insertion sort.
inline constexpr std::uint32_t insertion_limit = 32;

// Exchanges two elements one byte at a time, the way a qsort() that knows only
// the element size must; the benchmark compares this cost with a plain swap.
template <class T>
void swap_bytes(T* x, T* y)
{
    auto* p = reinterpret_cast<unsigned char*>(x);
    auto* q = reinterpret_cast<unsigned char*>(y);
    for (std::size_t k = 0; k < sizeof *x; ++k) {
        std::swap(p[k], q[k]);
    }
}

// Backward insertion: the tail a[k+1 .. n-1] is sorted when step k begins.
// The place of a[k] is searched first, then the elements before it move
// toward the front as one block, as a qsort() moves records it cannot name.
template <class T, class Compare, class Tally>
void insertion_sort(T* a, std::uint32_t n, Compare cmp, Tally tally)
{
    for (std::uint32_t k = n - 1; k-- > 0;) {
        const T key = a[k];
        std::uint32_t q = k + 1;
        while (q < n && cmp(key, a[q]) > 0) {
            ++q;
        }
        const std::uint32_t f = q - 1;
        if (f != k) {
            std::memmove(a + k, a + k + 1, (f - k) * sizeof *a);
            a[f] = key;
            tally.moved(f - k + 2);  // the key held, the block, the key stored
        }
    }
}

}  // namespace my_qsort

// A quicksort written the way a qsort() would be: `cmp` is a three-way
// comparison, and elements are opaque records of sizeof(T) bytes, exchanged
// byte by byte and shifted by block moves. So T must be trivially copyable,
// as the elements of a C array handed to qsort() are.
template <class T, class Compare = three_way<natural_order<T>>, class Tally = no_tally>
[[gnu::noinline]] void quick_sort_sub(T* a, std::uint32_t n, Compare cmp = {}, Tally tally = {})
{
    static_assert(std::is_trivially_copyable_v<T>, "records are moved as bytes");
    while (n > my_qsort::insertion_limit) {
        const T p = a[n / 2];
        tally.moved(1);
        std::uint32_t l = 0;
        std::uint32_t e = n;  // one past the element the next right scan starts at
        // The scans stop at the pivot or at an element an exchange moved past
        // them, so they need no bound checks; the split l ends in [1, n - 1].
        for (;;) {
            while (cmp(a[l], p) < 0) {
                ++l;
            }
            std::uint32_t r = e - 1;
            while (cmp(p, a[r]) < 0) {
                --r;
            }
            if (l >= r) {
                break;
            }
            my_qsort::swap_bytes(a + l, a + r);
            tally.moved(3);
            ++l;
            e = r + 1;
        }
        // Smaller part by recursion, larger part by the loop: runs of equal
        // values split at n - 1, and recursing on both parts would then nest
        // once per element. On distinct ascending input the halves are still
        // sorted left first.
        if (l <= n - l) {
            quick_sort_sub(a, l, cmp, tally);
            a += l;
            n -= l;
        } else {
            quick_sort_sub(a + l, n - l, cmp, tally);
            n = l;
        }
    }
    if (n < 2) {
        return;
    }
    my_qsort::insertion_sort(a, n, cmp, tally);
}

}  // namespace sorts
