// The registry's comb sort as a contender library, so that copies of it
// that differ only in code placement can be timed against each other.
#include <sortbench/contender.h>

#include <cstdint>

#include "sorts/comb_sort.hpp"

extern "C" const char* sortbench_name(void)
{
    return "comb_sort_library";
}

// The registry's routine takes 32-bit sizes; the programs pass at most 10^7.
extern "C" void sortbench_sort_int32(int32_t* a, size_t n)
{
    sorts::comb_sort(a, static_cast<std::uint32_t>(n));
}
