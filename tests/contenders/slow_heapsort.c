/* The heapsort example made slower on purpose, by a share fixed in its
 * build: after sorting int32, SLOW_HALVES half passes over the array, each
 * a chain of dependent multiplies that the compiler can neither drop nor
 * vectorise. On a Zen 5 VM, random input of 10^5, five halves made it 2.7%
 * slower (the median of ten runs of tools/ab.py --layouts=3), three 1.6%,
 * seven 4.7%: the slowdown an A/B comparison must find. */
#include <stddef.h>
#include <stdint.h>

#define sortbench_sort_int32 heapsort_example_int32
#include "../../examples/heapsort/heapsort.c"
#undef sortbench_sort_int32

static volatile uint32_t sink;

void sortbench_sort_int32(int32_t* a, size_t n)
{
    heapsort_example_int32(a, n);
    uint32_t h = 0;
    for (int half = 0; half < SLOW_HALVES; ++half) {
        const size_t from = half % 2 ? n / 2 : 0, to = half % 2 ? n : n / 2;
        for (size_t i = from; i < to; ++i) {
            h = (h ^ (uint32_t)a[i]) * 0x9E3779B1u;
            h ^= h >> 15;
        }
    }
    sink = h;
}
