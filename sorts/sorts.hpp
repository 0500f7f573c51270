// The sorting routines for 32-bit signed integers, as the benchmark runs
// them: the int32_t forms of the generic routines beside this file. Each one
// sorts a[0 .. n-1] into ascending order in place, holds no state between calls and allocates
// nothing of its own. Counts 0 and 1 are accepted and change nothing.
#pragma once

#include <cstdint>

#include "sorts/order.hpp"

// The shape every routine is called through.
using sort_func = void(std::int32_t* a, std::uint32_t n);

void shell_sort(std::int32_t* a, std::uint32_t n);
void comb_sort(std::int32_t* a, std::uint32_t n);
void ex_quick_sort(std::int32_t* a, std::uint32_t n);

// Hands the array to the C library's qsort with qsort_cmp.
void c_qsort(std::int32_t* a, std::uint32_t n);
int qsort_cmp(const void* x, const void* y);

// A quicksort written the way a qsort() would be: elements are handled as
// opaque 4-byte records. my_QSORT takes a signed count, as the entry point of
// such a library would; a null array or a negative count does nothing.
void my_QSORT(std::int32_t* a, std::int32_t n);
void quick_sort_sub(std::int32_t* a, std::uint32_t n);
// my_QSORT in the sort_func shape, for the routine table.
void my_qsort_unsigned(std::int32_t* a, std::uint32_t n);

// Three-way order of x and y for the qsort-style routines: negative when x
// sorts first, zero when equal, positive when y sorts first. It has the sign
// of x - y, but is computed without the subtraction: a 32-bit difference wraps
// for values more than 2^31 apart (2000000000 - -2000000000 is negative), which
// misorders them and makes the order intransitive.
//
// Written as a choice rather than as (x > y) - (x < y): GCC folds a test such
// as diff_order(x, y) < 0 of this form into the single comparison x < y, but
// not of that one, which cost quick_sort_sub a third of its instructions.
inline int diff_order(std::int32_t x, std::int32_t y)
{
    return sorts::three_way<sorts::natural_order<std::int32_t>>{}(x, y);
}
