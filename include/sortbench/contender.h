/*
 * The interface of a contender library for sortbench-patterns and
 * sortbench-counts (--contender=PATH): a shared library that exports some of
 * the functions below with C linkage. Each sortbench_sort_<type> that it
 * exports joins that element type's patterns and sizes, timed and verified
 * like the built-in contenders; each sortbench_sort_by_<type> lets
 * sortbench-counts count its comparisons. A library must export at least
 * one sortbench_sort_<type>.
 *
 * Every function sorts a[0 .. n-1] into ascending order in place; n may be 0
 * or 1. The library is loaded into the benchmark's process and runs with the
 * benchmark's rights: load only code you trust.
 */
#ifndef SORTBENCH_CONTENDER_H
#define SORTBENCH_CONTENDER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define SORTBENCH_ALIGN16 alignas(16)
extern "C" {
#else
#define SORTBENCH_ALIGN16 _Alignas(16)
#endif

/* A 64-bit key with a 64-bit payload, ordered by the key alone: payload
 * first, then key, 16-byte aligned (the layout of Highway's hwy::K64V64). */
struct sortbench_kv16 {
    SORTBENCH_ALIGN16 uint64_t value;
    uint64_t key;
};

/* A string: `length` bytes at `bytes`, with no terminating NUL needed,
 * ordered byte by byte as unsigned values, a string before any longer one
 * that it begins (memcmp's order, then the length). A sort moves the records;
 * the bytes stay where they are. */
struct sortbench_string {
    const char* bytes;
    size_t length;
};

/* A 100-byte record: an 8-byte key, its high half first, ordered as one
 * unsigned 64-bit number, then 92 bytes of payload that travel with it. */
struct sortbench_rec100 {
    uint32_t key_high;
    uint32_t key_low;
    uint32_t payload[23];
};

/* A 1 KiB record: an unsigned 64-bit key, then 1016 bytes of payload. */
struct sortbench_rec1k {
    uint64_t key;
    uint64_t payload[127];
};

/* A URL: a string as above, ordered as above; the suite's share a long
 * prefix, so that each comparison reads dozens of equal bytes first. */
struct sortbench_url {
    const char* bytes;
    size_t length;
};

/* Optional: the contender's name in benchmark names (letters, digits, '_'
 * and '-'). Without it, the file name without "lib" and its extension. */
const char* sortbench_name(void);

/* Optional: what the sort's authors claim of its comparisons, one claim a
 * line, each optionally followed by "# where it was stated":
 *   PATTERN: CLASS   the comparisons on that built-in pattern grow as CLASS
 *   worst: CLASS     on any input
 *   stable           equal keys keep their input order
 * CLASS is n, n log n, n log k (k distinct values) or n^2. For example
 * "ascending: n\nrandom: n log n\nworst: n log n # our paper, 2.3\n".
 * sortbench-growth --claims says which hold (sortbench_sort_by_int32 is
 * needed for all but "stable", sortbench_sort_kv16 for "stable"). */
const char* sortbench_claims(void);

void sortbench_sort_int32(int32_t* a, size_t n);
void sortbench_sort_int64(int64_t* a, size_t n);
void sortbench_sort_double(double* a, size_t n); /* no NaN is ever passed */
void sortbench_sort_kv16(struct sortbench_kv16* a, size_t n);
void sortbench_sort_string(struct sortbench_string* a, size_t n);
void sortbench_sort_rec100(struct sortbench_rec100* a, size_t n);
void sortbench_sort_rec1k(struct sortbench_rec1k* a, size_t n);
void sortbench_sort_url(struct sortbench_url* a, size_t n);

/* Optional: the same sort, comparing only through `less`, which returns
 * nonzero when *x sorts before *y. sortbench-counts counts its calls. */
void sortbench_sort_by_int32(int32_t* a, size_t n, int (*less)(const int32_t* x, const int32_t* y));
void sortbench_sort_by_int64(int64_t* a, size_t n, int (*less)(const int64_t* x, const int64_t* y));
void sortbench_sort_by_double(double* a, size_t n, int (*less)(const double* x, const double* y));
void sortbench_sort_by_kv16(struct sortbench_kv16* a, size_t n,
                            int (*less)(const struct sortbench_kv16* x, const struct sortbench_kv16* y));
void sortbench_sort_by_string(struct sortbench_string* a, size_t n,
                              int (*less)(const struct sortbench_string* x, const struct sortbench_string* y));
void sortbench_sort_by_rec100(struct sortbench_rec100* a, size_t n,
                              int (*less)(const struct sortbench_rec100* x, const struct sortbench_rec100* y));
void sortbench_sort_by_rec1k(struct sortbench_rec1k* a, size_t n,
                             int (*less)(const struct sortbench_rec1k* x, const struct sortbench_rec1k* y));
void sortbench_sort_by_url(struct sortbench_url* a, size_t n,
                           int (*less)(const struct sortbench_url* x, const struct sortbench_url* y));

#ifdef __cplusplus
}
#endif

#endif
