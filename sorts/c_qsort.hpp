#pragma once

#include <cstdint>
#include <cstdlib>

#include "sorts/order.hpp"

namespace sorts {

// The comparison function handed to the C library's qsort: the three-way
// order of T's natural order.
template <class T>
int qsort_cmp(const void* x, const void* y)
{
    return three_way<natural_order<T>>{}(*static_cast<const T*>(x), *static_cast<const T*>(y));
}

// Hands the array to the C library's qsort with the element size of T. The
// comparison function is a template argument, not a parameter: qsort takes a
// plain function pointer, so a counting comparison must be a function too.
template <class T, int (*Cmp)(const void*, const void*) = qsort_cmp<T>>
void c_qsort(T* a, std::uint32_t n)
{
    std::qsort(a, n, sizeof *a, Cmp);
}

}  // namespace sorts
