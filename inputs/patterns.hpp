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
    p5,                   // 95% one value (0), the rest uniform over 1..n
    exponential,          // exponentially distributed, mean n/16: small values repeat, few large ones
    sqrt_swaps,           // 0 .. n-1 ascending after floor(sqrt(n)) swaps of random pairs
    rootdup,              // i mod floor(sqrt(n)): sqrt(n) values, each about sqrt(n) times
    twodup,               // (i^2 + n/2) mod n
    eightdup,             // (i^8 + n/2) mod n
    bit_reversal,         // 0 .. n-1 in bit-reversed order (of the next power of two, those below n)
    asc_saws,             // runs of ceil(sqrt(n)) random values, each run ascending
    desc_saws,            // the same, each run descending
    median3_killer,       // Musser's sequence: a median-of-3 quicksort's splits peel two elements (a
                          // middle-element one's too, and its small values sit far right, as turtles)
    from_file,            // a user's data (inputs/user_data.hpp): not among all_patterns, not made here
};

// What a pattern holds that some sorts take quadratic time on; the grid
// joins these to the sorts' own traits.
enum pattern_shape : unsigned {
    repeats_values = 1u << 0,        // runs of equal values
    defeats_middle_pivot = 1u << 1,  // a middle-element pivot is the smallest value left
    turtles = 1u << 2,               // small values far to the right, from about 100,000 elements on
};

// Largest size run for a quadratic case. Every split of a run of equal values
// peels off one element, so all-equal input costs ~n^2/2 steps, 8 distinct
// values ~n^2/16, and the killer ~n^2/2 too. At 10,000 elements one call
// takes up to about a quarter of a second here; at 100,000 up to minutes.
inline constexpr std::uint32_t quadratic_cap = 10000;

struct pattern_info {
    pattern p;
    std::string_view name;
    unsigned shape;  // pattern_shape bits
};

inline constexpr std::array<pattern_info, 24> all_patterns{{
    {pattern::ascending, "ascending", 0},
    {pattern::descending, "descending", 0},
    {pattern::random, "random", 0},
    {pattern::few_distinct, "few_distinct", repeats_values},
    {pattern::all_equal, "all_equal", repeats_values},
    {pattern::organ_pipe, "organ_pipe", 0},
    {pattern::sawtooth, "sawtooth", 0},
    {pattern::distinct_2, "distinct_2", repeats_values},
    {pattern::distinct_16, "distinct_16", repeats_values},
    {pattern::distinct_256, "distinct_256", repeats_values},
    {pattern::random_tail, "random_tail", 0},
    {pattern::push_front, "push_front", 0},
    {pattern::zipf, "zipf", repeats_values},
    {pattern::middle_pivot_killer, "middle_pivot_killer", defeats_middle_pivot | turtles},
    {pattern::p5, "p5", repeats_values},
    {pattern::exponential, "exponential", 0},
    {pattern::sqrt_swaps, "sqrt_swaps", 0},
    {pattern::rootdup, "rootdup", repeats_values},
    {pattern::twodup, "twodup", 0},
    {pattern::eightdup, "eightdup", repeats_values},
    {pattern::bit_reversal, "bit_reversal", 0},
    {pattern::asc_saws, "asc_saws", 0},
    {pattern::desc_saws, "desc_saws", 0},
    {pattern::median3_killer, "median3_killer", defeats_middle_pivot | turtles},
}};

// The patterns the suite had first; the others come from other benchmarks'
// generators (sort-research-rs, ips4o, Musser's introsort paper).
inline constexpr std::size_t classic_patterns = 14;

std::string_view pattern_name(pattern p);
// The built-in pattern of that name; null where there is none.
const pattern_info* pattern_named(std::string_view name);

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
