#pragma once

#include <cstdint>

#include "sorts/sorts.hpp"

// Sorts `runs` arrays of `num` ascending elements with `routine`, timing the
// calls as a whole, then checks every array for order. Returns the average
// seconds of one call. Ordering errors are printed to standard output against
// a budget of 100 for the whole process. When the buffer cannot be allocated,
// prints "<name> : not enough memory." and exits with status 1.
double test(std::int32_t num, sort_func* routine, std::uint32_t runs, int verbose,
            const char* name);

// The number of ordering errors found by all calls of test() so far.
std::int32_t ordering_errors();
