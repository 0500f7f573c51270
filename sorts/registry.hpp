// Every sorting routine the project knows, in report order. The benchmark, the
// companion suite, the fuzz target and the tests iterate this table, and the
// build writes it out as routines.json for the scripts, so a routine is added
// here once and nowhere else.
#pragma once

#include <array>
#include <string>

#include "sorts/sorts.hpp"

// Inputs on which a routine is known to take quadratic time. The companion
// suite caps such cases instead of running them for minutes.
enum routine_trait : unsigned {
    // Runs of equal values split at n - 1, one element per partition.
    quadratic_on_equal_runs = 1u << 0,
    // The companion suite's "killer" input, built so that a middle-element
    // pivot is always the smallest value left.
    quadratic_on_middle_pivot_killer = 1u << 1,
    // Small values far to the right ("turtles"), which the last passes move
    // one place each: from about 100,000 elements on, as in the killer.
    quadratic_on_turtles = 1u << 2,
};

struct routine_info {
    const char* id;     // the name in code, in the companion suite and in scripts
    const char* label;  // the report row's label, exactly 18 characters
    sort_func* sort;
    unsigned traits;         // routine_trait bits
};

inline constexpr auto routines = std::to_array<routine_info>({
    {"shell_sort", "shell sort        ", shell_sort, 0},
    {"comb_sort", "comb sort         ", comb_sort, quadratic_on_turtles},
    {"ex_quick_sort", "quick+insert sort ", ex_quick_sort,
     quadratic_on_equal_runs | quadratic_on_middle_pivot_killer},
    {"c_qsort", "c qsort           ", c_qsort, 0},
    {"my_QSORT", "my qsort          ", my_qsort_unsigned,
     quadratic_on_equal_runs | quadratic_on_middle_pivot_killer},
});

// The report prints labels into a fixed 18-column field.
static_assert([] {
    for (const routine_info& r : routines) {
        if (std::char_traits<char>::length(r.label) != 18) return false;
    }
    return true;
}());
