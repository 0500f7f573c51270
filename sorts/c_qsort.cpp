#include "sorts.hpp"

#include <cstdlib>

int qsort_cmp(const void* x, const void* y)
{
    return diff_order(*static_cast<const std::int32_t*>(x),
                      *static_cast<const std::int32_t*>(y));
}

void c_qsort(std::int32_t* a, std::uint32_t n)
{
    std::qsort(a, n, sizeof *a, qsort_cmp);
}
