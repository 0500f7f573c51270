// The disorder of a user's data, and the built-in pattern it is nearest to.
#pragma once

#include <string>

#include "inputs/disorder.hpp"
#include "inputs/user_data.hpp"

// The user's data's disorder, with the built-in pattern nearest to it.
struct data_profile {
    disorder measures;
    std::string nearest;  // the built-in pattern whose measures lie closest
};

// Measures all of the data, and every built-in pattern at as many elements
// (at most 1,000,000), and finds the nearest by the distance between the
// fraction of inverted pairs, of ascending runs per element, and of the
// logarithm of the distinct values over that of the count.
data_profile profile(const user_data& data);
