// Input patterns for sorting: what real programs hand to a sort, from the
// already-ascending arrays the benchmark times to random and repetitive data.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

enum class pattern {
    ascending,     // 0, 1, 2, ...
    descending,    // n-1, n-2, ..., 0
    random,        // uniform over all 32-bit values; from 2 elements on, INT32_MIN and INT32_MAX are in
    few_distinct,  // uniform over 8 values, -4 to 3
    all_equal,     // every element the same
    organ_pipe,    // rises to the middle, then falls: 0, 1, ..., 1, 0
    sawtooth,      // 8 ascending runs of (n + 7) / 8, the last one shorter
};

inline constexpr std::array<pattern, 7> all_patterns{
    pattern::ascending,    pattern::descending, pattern::random,   pattern::few_distinct,
    pattern::all_equal,    pattern::organ_pipe, pattern::sawtooth,
};

std::string_view pattern_name(pattern p);

// Fills `out` with the pattern. The result depends only on the pattern, the
// size and the seed (std::mt19937 drawn raw, no library distributions), so a
// failing case can be replayed anywhere.
void fill_pattern(pattern p, std::span<std::int32_t> out, std::uint32_t seed);
