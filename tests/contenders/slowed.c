/* The heapsort example with an extra cost that is a share of its own time:
 * after sorting int32 it spins, reading the clock, for SLOWED_PERCENT per
 * cent of the CPU time the sort took. A share of the sort's own time, rather
 * than a fixed amount of work, keeps the slowdown the same at every size and
 * on every machine, which is what a detector's measured rates need. The
 * clock is the thread's CPU time, the figure paired rounds take, so that
 * time spent descheduled on a busy machine is neither counted nor spun for.
 * The build with SLOWED_PERCENT 0 reads the clock as often and is the
 * unslowed one. */
#include <stddef.h>
#include <stdint.h>
#include <time.h>

#define sortbench_sort_int32 heapsort_example_int32
#include "../../examples/heapsort/heapsort.c"
#undef sortbench_sort_int32

static uint64_t now_ns(void)
{
    struct timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (uint64_t)t.tv_sec * 1000000000u + (uint64_t)t.tv_nsec;
}

void sortbench_sort_int32(int32_t* a, size_t n)
{
    const uint64_t start = now_ns();
    heapsort_example_int32(a, n);
    const uint64_t sorted = now_ns();
    const uint64_t until = sorted + (sorted - start) * SLOWED_PERCENT / 100;
    while (SLOWED_PERCENT > 0 && now_ns() < until) {
    }
}
