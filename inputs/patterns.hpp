// Input patterns for sorting: what real programs hand to a sort, from the
// already-ascending arrays the benchmark times to random, repetitive and
// adversarial data.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

#include "inputs/elements.hpp"

#include "sorts/traits.hpp"

enum class pattern {
    ascending,            // 0, 1, 2, ...
    descending,           // n-1, n-2, ..., 0
    random,               // uniform over all 32-bit values; from 2 elements on, INT32_MIN and INT32_MAX are in
    few_distinct,         // uniform over 8 values, -4 to 3
    all_equal,            // every element the same
    organ_pipe,           // rises to the middle, then falls: 0, 1, ..., 1, 0
    sawtooth,             // 8 ascending runs of (n + 7) / 8, the last one shorter
    distinct_2,           // uniform over 2 values
    distinct_16,          // uniform over 16 values
    distinct_256,         // uniform over 256 values
    random_tail,          // ascending, then the last tenth random: appended, not yet sorted
    push_front,           // ascending with the smallest element moved to the end
    zipf,                 // values 1..n drawn with P(k) ~ 1/k, so a few values repeat very often
    middle_pivot_killer,  // distinct values on which a middle-element quicksort peels one element per split
    from_file,            // a user's data (inputs/user_data.hpp): not among all_patterns, not made here
};

struct pattern_info {
    pattern p;
    std::string_view name;
    // The routine_trait bits of the routines that take quadratic time on it.
    unsigned quadratic_for;
};

inline constexpr std::array<pattern_info, 14> all_patterns{{
    {pattern::ascending, "ascending", 0},
    {pattern::descending, "descending", 0},
    {pattern::random, "random", 0},
    {pattern::few_distinct, "few_distinct", quadratic_on_equal_runs},
    {pattern::all_equal, "all_equal", quadratic_on_equal_runs},
    {pattern::organ_pipe, "organ_pipe", 0},
    {pattern::sawtooth, "sawtooth", 0},
    {pattern::distinct_2, "distinct_2", quadratic_on_equal_runs},
    {pattern::distinct_16, "distinct_16", quadratic_on_equal_runs},
    {pattern::distinct_256, "distinct_256", quadratic_on_equal_runs},
    {pattern::random_tail, "random_tail", 0},
    {pattern::push_front, "push_front", 0},
    {pattern::zipf, "zipf", quadratic_on_equal_runs},
    {pattern::middle_pivot_killer, "middle_pivot_killer", quadratic_on_middle_pivot_killer | quadratic_on_turtles},
}};

std::string_view pattern_name(pattern p);

// Fills `out` with the pattern. The result depends only on the pattern, the
// size and the seed (std::mt19937 drawn raw, no library distributions), so a
// failing case can be replayed anywhere.
void fill_pattern(pattern p, std::span<std::int32_t> out, std::uint32_t seed);

// Puts -0.0 and +0.0 into the first two places of `out` whose values are not
// the smallest or largest of `values`, when there are such places.
void place_both_zeros(std::span<const std::int32_t> values, std::span<double> out);

// Fills `out` with the pattern in element type T: the 32-bit pattern, each
// value mapped to T in order (see inputs/elements.hpp). Doubles of the random
// pattern hold both zeros too, beside the extremes.
template <class T>
void fill_elements(pattern p, std::span<T> out, std::uint32_t seed)
{
    if constexpr (std::is_same_v<T, std::int32_t>) {
        fill_pattern(p, out, seed);
    } else {
        std::vector<std::int32_t> values(out.size());
        fill_pattern(p, values, seed);
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i] = element_traits<T>::from(values[i], i);
        }
        if constexpr (std::is_same_v<T, double>) {
            if (p == pattern::random) place_both_zeros(values, out);
        }
    }
}
