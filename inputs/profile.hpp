// The disorder of a user's data, and the built-in pattern it is nearest to.
#pragma once

#include <string>

#include "inputs/disorder.hpp"
#include "inputs/user_data.hpp"

// The user's data's disorder, with the built-in pattern nearest to it.
struct data_profile {
    disorder measures;    // of one array: the mean over the arrays measured
    std::size_t n = 0;    // the array's size
    std::size_t arrays = 0;  // how many were measured
    std::string nearest;  // the built-in pattern whose measures lie closest
};

// Measures the data as arrays of n (0: the whole of it as one array), the
// first 16 of them at most, and every built-in pattern at n elements (at
// most 1,000,000), and finds the nearest by the distance between the
// fraction of inverted pairs, of ascending runs per element, and of the
// logarithm of the distinct values over that of n: each a mean over the
// arrays, so that a file of several arrays is measured as the arrays a sort
// is handed, not as one long array of their seams.
data_profile profile(const user_data& data, std::uint32_t n = 0);
