#include "shell_sort.hpp"

#include "sorts.hpp"

void shell_sort(std::int32_t* a, std::uint32_t n)
{
    sorts::shell_sort(a, n);
}

constinit const sort_forms shell_sort_forms =
    forms_by_elements([](auto* a, std::uint32_t n) { sorts::shell_sort(a, n); }, shell_sort);
