// What the project knows of a routine beyond its code: the inputs on which
// it takes quadratic time, which the companion suite caps instead of running
// them for minutes, and how it calls its comparison.
#pragma once

enum routine_trait : unsigned {
    // Runs of equal values split at n - 1, one element per partition.
    quadratic_on_equal_runs = 1u << 0,
    // The companion suite's "killer" input, built so that a middle-element
    // pivot is always the smallest value left; Musser's median-of-3 killer
    // defeats a middle-element pivot as well.
    quadratic_on_middle_pivot_killer = 1u << 1,
    // Small values far to the right ("turtles"), which the last passes move
    // one place each: from about 100,000 elements on, as in the killer.
    quadratic_on_turtles = 1u << 2,
    // Its comparison is called from C code (the C library's qsort, a
    // contender library), which an exception must not cross.
    compares_through_c = 1u << 3,
};

// The traits by name, as the scripts see them.
inline constexpr struct {
    routine_trait bit;
    const char* name;
} routine_trait_names[] = {
    {quadratic_on_equal_runs, "quadratic_on_equal_runs"},
    {quadratic_on_middle_pivot_killer, "quadratic_on_middle_pivot_killer"},
    {quadratic_on_turtles, "quadratic_on_turtles"},
    {compares_through_c, "compares_through_c"},
};
