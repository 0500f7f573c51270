#include "comb_sort.hpp"

#include "sorts.hpp"

void comb_sort(std::int32_t* a, std::uint32_t n)
{
    sorts::comb_sort(a, n);
}
