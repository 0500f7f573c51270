// Every sorting routine the project knows, in report order, with everything
// the project needs of it. The benchmark, the companion suite and its
// counts, the fuzz target and the tests iterate this table, and the build
// writes it out as routines.json for the scripts, so a routine is added here
// once and nowhere else.
#pragma once

#include <array>
#include <string>

#include "sorts/sorts.hpp"
#include "sorts/traits.hpp"

struct routine_info {
    const char* id;     // the name in code, in the companion suite and in scripts
    const char* label;  // the report row's label, exactly 18 characters
    sort_func* sort;    // what sortbench runs
    // Its form for every element type, and their counting forms; on int32_t
    // the sort is `sort` itself.
    const sort_forms* forms;
    unsigned traits;  // routine_trait bits
    // The growth of its comparisons as this project states it, one claim a
    // line ("PATTERN: CLASS # why"), checked by sortbench-counts --claims.
    const char* claims = "";
};

inline constexpr auto routines = std::to_array<routine_info>({
    {"shell_sort", "shell sort        ", shell_sort, &shell_sort_forms, 0,
     "ascending: n log n  # this project: on sorted input, one comparison per element for each of the log3 n gaps"},
    {"comb_sort", "comb sort         ", comb_sort, &comb_sort_forms, quadratic_on_turtles,
     "ascending: n log n  # this project: on sorted input, one pass per gap as it shrinks by 10/13"},
    {"ex_quick_sort", "quick+insert sort ", ex_quick_sort, &ex_quick_sort_forms,
     quadratic_on_equal_runs | quadratic_on_middle_pivot_killer,
     "random: n log n  # this project: quicksort's expected 2 n ln n\n"
     "worst: n^2  # this project: a middle-element pivot and no depth limit"},
    // Neither the C standard nor glibc's manual states a bound for qsort.
    {"c_qsort", "c qsort           ", c_qsort, &c_qsort_forms, compares_through_c},
    {"my_QSORT", "my qsort          ", my_qsort_unsigned, &my_QSORT_forms,
     quadratic_on_equal_runs | quadratic_on_middle_pivot_killer,
     "random: n log n  # this project: quicksort's expected 2 n ln n\n"
     "worst: n^2  # this project: a middle-element pivot and no depth limit"},
});

// The report prints labels into a fixed 18-column field.
static_assert([] {
    for (const routine_info& r : routines) {
        if (std::char_traits<char>::length(r.label) != 18) return false;
    }
    return true;
}());
