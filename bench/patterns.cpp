#include "patterns.hpp"

#include <cstddef>
#include <limits>
#include <random>

std::string_view pattern_name(pattern p)
{
    switch (p) {
    case pattern::ascending: return "ascending";
    case pattern::descending: return "descending";
    case pattern::random: return "random";
    case pattern::few_distinct: return "few_distinct";
    case pattern::all_equal: return "all_equal";
    case pattern::organ_pipe: return "organ_pipe";
    case pattern::sawtooth: return "sawtooth";
    }
    return "unknown";
}

void fill_pattern(pattern p, std::span<std::int32_t> out, std::uint32_t seed)
{
    const std::size_t n = out.size();
    std::mt19937 rng(seed);
    // Values are taken modulo 2^32 into int32_t, which C++20 defines.
    const auto value = [](std::size_t v) { return static_cast<std::int32_t>(v); };
    switch (p) {
    case pattern::ascending:
        for (std::size_t i = 0; i < n; ++i) out[i] = value(i);
        break;
    case pattern::descending:
        for (std::size_t i = 0; i < n; ++i) out[i] = value(n - 1 - i);
        break;
    case pattern::random:
        for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::int32_t>(rng());
        // The extremes are where a subtraction-based comparison goes wrong, so
        // every random array of two or more holds both.
        if (n >= 2) {
            const std::size_t lo = rng() % n;
            const std::size_t hi = (lo + 1 + rng() % (n - 1)) % n;
            out[lo] = std::numeric_limits<std::int32_t>::min();
            out[hi] = std::numeric_limits<std::int32_t>::max();
        }
        break;
    case pattern::few_distinct:
        for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::int32_t>(rng() % 8) - 4;
        break;
    case pattern::all_equal:
        for (std::size_t i = 0; i < n; ++i) out[i] = 42;
        break;
    case pattern::organ_pipe:
        for (std::size_t i = 0; i < n; ++i) out[i] = value(i < n / 2 ? i : n - 1 - i);
        break;
    case pattern::sawtooth: {
        const std::size_t tooth = (n + 7) / 8;
        for (std::size_t i = 0; i < n; ++i) out[i] = value(i % tooth);
        break;
    }
    }
}
