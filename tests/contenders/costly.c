/* A contender with known hidden costs: each call allocates exactly 1000
 * bytes in one malloc and makes exactly one system call, then sorts by
 * insertion. */
#include <sortbench/contender.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

void sortbench_sort_int32(int32_t* a, size_t n)
{
    volatile char* scratch = malloc(1000);
    if (scratch != NULL) scratch[0] = 1;
    free((void*)scratch);
    syscall(SYS_getppid);
    for (size_t i = 1; i < n; ++i) {
        const int32_t v = a[i];
        size_t j = i;
        for (; j > 0 && a[j - 1] > v; --j) a[j] = a[j - 1];
        a[j] = v;
    }
}
