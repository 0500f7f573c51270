#include "ex_quick_sort.hpp"

#include "sorts.hpp"

void ex_quick_sort(std::int32_t* a, std::uint32_t n)
{
    sorts::ex_quick_sort(a, n);
}

constinit const sort_forms ex_quick_sort_forms =
    forms_by_elements([](auto* a, std::uint32_t n) { sorts::ex_quick_sort(a, n); }, ex_quick_sort);
