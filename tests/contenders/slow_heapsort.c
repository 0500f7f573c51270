/* The heapsort example made slower on purpose, by a share fixed in its
 * build: after sorting int32, SLOW_PASSES passes over the array, each a
 * chain of dependent multiplies that the compiler can neither drop nor
 * vectorise. An A/B comparison against the example must find it. */
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
    for (int pass = 0; pass < SLOW_PASSES; ++pass) {
        for (size_t i = 0; i < n; ++i) {
            h = (h ^ (uint32_t)a[i]) * 0x9E3779B1u;
            h ^= h >> 15;
        }
    }
    sink = h;
}
