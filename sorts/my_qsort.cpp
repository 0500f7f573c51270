#include "sorts.hpp"

#include <climits>
#include <cstring>
#include <utility>

namespace {

// As in ex_quick_sort: ranges this small are finished by insertion sort.
constexpr std::uint32_t insertion_limit = 32;

// Exchanges two elements one byte at a time, the way a qsort() that knows only
// the element size must; the benchmark compares this cost with a plain swap.
void swap_bytes(std::int32_t* x, std::int32_t* y)
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
void insertion_sort(std::int32_t* a, std::uint32_t n)
{
    for (std::uint32_t k = n - 1; k-- > 0;) {
        const std::int32_t key = a[k];
        std::uint32_t q = k + 1;
        while (q < n && diff_order(key, a[q]) > 0) {
            ++q;
        }
        const std::uint32_t f = q - 1;
        if (f != k) {
            std::memmove(a + k, a + k + 1, (f - k) * sizeof *a);
            a[f] = key;
        }
    }
}

}  // namespace

void quick_sort_sub(std::int32_t* a, std::uint32_t n)
{
    while (n > insertion_limit) {
        const std::int32_t p = a[n / 2];
        std::uint32_t l = 0;
        std::uint32_t e = n;  // one past the element the next right scan starts at
        // The scans stop at the pivot or at an element an exchange moved past
        // them, so they need no bound checks; the split l ends in [1, n - 1].
        for (;;) {
            while (diff_order(a[l], p) < 0) {
                ++l;
            }
            std::uint32_t r = e - 1;
            while (diff_order(p, a[r]) < 0) {
                --r;
            }
            if (l >= r) {
                break;
            }
            swap_bytes(a + l, a + r);
            ++l;
            e = r + 1;
        }
        // Smaller part by recursion, larger part by the loop: runs of equal
        // values split at n - 1, and recursing on both parts would then nest
        // once per element. On distinct ascending input the halves are still
        // sorted left first.
        if (l <= n - l) {
            quick_sort_sub(a, l);
            a += l;
            n -= l;
        } else {
            quick_sort_sub(a + l, n - l);
            n = l;
        }
    }
    if (n < 2) {
        return;
    }
    insertion_sort(a, n);
}

void my_QSORT(std::int32_t* a, std::int32_t n)
{
    if (a == nullptr || n < 0) {
        return;
    }
    quick_sort_sub(a, static_cast<std::uint32_t>(n));
}

void my_qsort_unsigned(std::int32_t* a, std::uint32_t n)
{
    if (n <= INT32_MAX) {
        my_QSORT(a, static_cast<std::int32_t>(n));
    } else if (a != nullptr) {
        // Beyond 2^31 - 1 elements (8 GiB) the signed count cannot carry n;
        // the worker takes it unsigned.
        quick_sort_sub(a, n);
    }
}
