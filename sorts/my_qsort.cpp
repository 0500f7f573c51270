#include "my_qsort.hpp"

#include <climits>

#include "sorts.hpp"

void quick_sort_sub(std::int32_t* a, std::uint32_t n)
{
    sorts::quick_sort_sub(a, n);
}

void my_QSORT(std::int32_t* a, std::int32_t n)
{
    if (a == nullptr || n < 0) {
        return;
    }
    quick_sort_sub(a, static_cast<std::uint32_t>(n));
}

void my_qsort_unsigned(std::int32_t* a, std::uint32_t n)
{
    if (n <= INT32_MAX) {
        my_QSORT(a, static_cast<std::int32_t>(n));
    } else if (a != nullptr) {
        // Beyond 2^31 - 1 elements (8 GiB) the signed count cannot carry n;
        // the worker takes it unsigned.
        quick_sort_sub(a, n);
    }
}
