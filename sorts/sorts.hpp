// The sorting routines for 32-bit signed integers, as the benchmark runs
// them: the int32_t forms of the generic routines beside this file. Each one
// sorts a[0 .. n-1] into ascending order in place, holds no state between
// calls and allocates nothing of its own. Counts 0 and 1 are accepted and
// change nothing. Each routine's forms for every element type, with their
// counting forms, are made in its own unit.
#pragma once

#include <cstdint>

#include "sorts/forms.hpp"

// The shape every routine is called through.
using sort_func = void(std::int32_t* a, std::uint32_t n);

void shell_sort(std::int32_t* a, std::uint32_t n);
extern const sort_forms shell_sort_forms;

void comb_sort(std::int32_t* a, std::uint32_t n);
extern const sort_forms comb_sort_forms;

void ex_quick_sort(std::int32_t* a, std::uint32_t n);
extern const sort_forms ex_quick_sort_forms;

// Hands the array to the C library's qsort with qsort_cmp.
void c_qsort(std::int32_t* a, std::uint32_t n);
int qsort_cmp(const void* x, const void* y);
extern const sort_forms c_qsort_forms;

// A quicksort written the way a qsort() would be: elements are handled as
// opaque 4-byte records. my_QSORT takes a signed count, as the entry point of
// such a library would; a null array or a negative count does nothing.
void my_QSORT(std::int32_t* a, std::int32_t n);
void quick_sort_sub(std::int32_t* a, std::uint32_t n);
// my_QSORT in the sort_func shape, for the routine table.
void my_qsort_unsigned(std::int32_t* a, std::uint32_t n);
extern const sort_forms my_QSORT_forms;
