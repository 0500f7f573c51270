/* A deliberately weak contender: quicksort with a median-of-3 pivot (first,
 * middle, last) and no depth limit, finished by insertion sort below 16
 * elements. Its worst case is quadratic; a search that does not know the
 * algorithm should find an input that shows it. */
#include <sortbench/contender.h>

const char* sortbench_name(void)
{
    return "median3_quicksort";
}

const char* sortbench_claims(void)
{
    return "random: n log n  # quicksort's expected 2 n ln n\n"
           "worst: n^2  # no depth limit\n";
}

static void swap(int32_t* a, size_t i, size_t j)
{
    const int32_t t = a[i];
    a[i] = a[j];
    a[j] = t;
}

void sortbench_sort_by_int32(int32_t* a, size_t n, int (*less)(const int32_t*, const int32_t*))
{
    while (n > 16) {
        /* a[0] <= a[mid] <= a[n-1]: the median is the pivot, the ends guard the scans. */
        const size_t mid = n / 2;
        if (less(&a[mid], &a[0])) swap(a, mid, 0);
        if (less(&a[n - 1], &a[mid])) {
            swap(a, n - 1, mid);
            if (less(&a[mid], &a[0])) swap(a, mid, 0);
        }
        swap(a, mid, n - 2);
        const int32_t pivot = a[n - 2];
        size_t i = 0, j = n - 2;
        for (;;) {
            while (less(&a[++i], &pivot)) {
            }
            while (less(&pivot, &a[--j])) {
            }
            if (i >= j) break;
            swap(a, i, j);
        }
        swap(a, i, n - 2);
        /* The smaller side by recursion, the larger by the loop: the stack stays
         * shallow on the quadratic inputs this sort exists to show. */
        if (i < n - 1 - i) {
            sortbench_sort_by_int32(a, i, less);
            a += i + 1;
            n -= i + 1;
        } else {
            sortbench_sort_by_int32(a + i + 1, n - i - 1, less);
            n = i;
        }
    }
    for (size_t k = 1; k < n; ++k) {
        for (size_t m = k; m > 0 && less(&a[m], &a[m - 1]); --m) swap(a, m, m - 1);
    }
}

static int natural_less(const int32_t* x, const int32_t* y)
{
    return *x < *y;
}

void sortbench_sort_int32(int32_t* a, size_t n)
{
    sortbench_sort_by_int32(a, n, natural_less);
}
