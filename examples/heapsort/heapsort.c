/*
 * A contender library in plain C: a textbook heapsort (sift-down, Floyd's
 * heap construction) for every element type of the interface, each also in
 * a form that compares through the caller's `less`, so that sortbench-counts
 * can count its comparisons.
 *
 *   cc -O2 -fPIC -shared -I../../include heapsort.c -o libheapsort.so
 *   sortbench-patterns --contender=./libheapsort.so --benchmark_filter='^heapsort/random/1000/'
 */
#include <sortbench/contender.h>
#include <string.h>

const char* sortbench_name(void)
{
    return "heapsort";
}

/* Defines sortbench_sort_by_NAME(a, n, less) and sortbench_sort_NAME(a, n),
 * the latter with the natural order of TYPE, of its key for kv16, of its
 * bytes for strings. */
#define HEAPSORT(NAME, TYPE, LESS_EXPR)                                                    \
    static int natural_less_##NAME(const TYPE* x, const TYPE* y)                           \
    {                                                                                      \
        return LESS_EXPR;                                                                  \
    }                                                                                      \
                                                                                           \
    /* Moves a[root] down until neither child of it is greater; a[0 .. end-1] is the heap. \
     * It swaps rather than holding the element aside, so that whenever `less` is called \
     * every element is in the array: a C++ caller's comparison that throws (the \
     * exception crosses this code, which has unwind tables) loses none. */            \
    static void sift_down_##NAME(TYPE* a, size_t root, size_t end,                         \
                                 int (*less)(const TYPE*, const TYPE*))                    \
    {                                                                                      \
        for (size_t child; (child = 2 * root + 1) < end; root = child) {                   \
            if (child + 1 < end && less(&a[child], &a[child + 1])) ++child;                \
            if (!less(&a[root], &a[child])) break;                                         \
            TYPE t = a[root];                                                              \
            a[root] = a[child];                                                            \
            a[child] = t;                                                                  \
        }                                                                                  \
    }                                                                                      \
                                                                                           \
    void sortbench_sort_by_##NAME(TYPE* a, size_t n, int (*less)(const TYPE*, const TYPE*)) \
    {                                                                                      \
        for (size_t root = n / 2; root-- > 0;) sift_down_##NAME(a, root, n, less);         \
        for (size_t end = n; end > 1; --end) {                                             \
            TYPE top = a[0];                                                               \
            a[0] = a[end - 1];                                                             \
            a[end - 1] = top;                                                              \
            sift_down_##NAME(a, 0, end - 1, less);                                         \
        }                                                                                  \
    }                                                                                      \
                                                                                           \
    void sortbench_sort_##NAME(TYPE* a, size_t n)                                          \
    {                                                                                      \
        sortbench_sort_by_##NAME(a, n, natural_less_##NAME);                               \
    }

HEAPSORT(int32, int32_t, *x < *y)
HEAPSORT(int64, int64_t, *x < *y)
HEAPSORT(double, double, *x < *y)
HEAPSORT(kv16, struct sortbench_kv16, x->key < y->key)

/* memcmp's order on the common prefix, then the shorter first. */
static int string_less(const struct sortbench_string* x, const struct sortbench_string* y)
{
    const size_t common = x->length < y->length ? x->length : y->length;
    const int order = common == 0 ? 0 : memcmp(x->bytes, y->bytes, common);
    return order < 0 || (order == 0 && x->length < y->length);
}

HEAPSORT(string, struct sortbench_string, string_less(x, y))

/* Heapsort's bound holds on every input: about 2 n log2 n comparisons. */
const char* sortbench_claims(void)
{
    return "random: n log n  # Williams (1964), Floyd (1964): heapsort sorts any input in O(n log n) comparisons\n"
           "ascending: n log n\n"
           "descending: n log n\n"
           "worst: n log n  # Williams (1964), Floyd (1964)\n";
}
