#include "comb_sort.hpp"

#include "sorts.hpp"

void comb_sort(std::int32_t* a, std::uint32_t n)
{
    sorts::comb_sort(a, n);
}

constinit const sort_forms comb_sort_forms =
    forms_by_elements([](auto* a, std::uint32_t n) { sorts::comb_sort(a, n); }, comb_sort);
