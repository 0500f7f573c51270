#include "shell_sort.hpp"

#include "sorts.hpp"

void shell_sort(std::int32_t* a, std::uint32_t n)
{
    sorts::shell_sort(a, n);
}
