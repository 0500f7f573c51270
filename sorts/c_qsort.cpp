#include "c_qsort.hpp"

#include "sorts.hpp"

int qsort_cmp(const void* x, const void* y)
{
    return sorts::qsort_cmp<std::int32_t>(x, y);
}

void c_qsort(std::int32_t* a, std::uint32_t n)
{
    sorts::c_qsort<std::int32_t, qsort_cmp>(a, n);
}
