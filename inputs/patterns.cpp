#include "inputs/patterns.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

namespace {

// Values taken modulo 2^32 into int32_t, which C++20 defines.
std::int32_t value(std::size_t v)
{
    return static_cast<std::int32_t>(v);
}

void fill_uniform(std::span<std::int32_t> out, std::mt19937& rng, std::uint32_t distinct, std::int32_t lowest)
{
    for (std::int32_t& v : out) {
        v = static_cast<std::int32_t>(rng() % distinct) + lowest;
    }
}

// A uniform double in [0, 1) from one raw draw.
double unit(std::mt19937& rng)
{
    return rng() / 4294967296.0;
}

// Middle-element quicksorts with a Hoare partition (the scans stop at values
// equal to the pivot) peel one element per split when each pivot is the
// smallest value left: the left scan stops at once, the right scan runs down
// to the pivot, the two are exchanged and the split falls after the first
// element. So the array is built by replaying that: the element at the middle
// of the shrinking range gets the next smallest value and trades places with
// the range's first element. The last elements, which such routines leave to
// insertion sort, get the remaining values in place.
void fill_middle_pivot_killer(std::span<std::int32_t> out)
{
    const std::size_t n = out.size();
    std::vector<std::size_t> origin(n);  // origin[k]: which output slot sits at position k
    std::iota(origin.begin(), origin.end(), std::size_t{0});
    std::size_t next = 0;
    for (std::size_t lo = 0; lo < n; ++lo) {
        const std::size_t mid = lo + (n - lo) / 2;
        out[origin[mid]] = value(next++);
        std::swap(origin[lo], origin[mid]);
    }
}

// (i^power + n/2) mod n, as ips4o's TwoDup and EightDup generators make
// them: few values repeat, in a scattered order. n is below 2^32, so each
// product of two residues fits in 64 bits.
void fill_power_dup(std::span<std::int32_t> out, unsigned squarings)
{
    const std::uint64_t n = out.size();
    for (std::uint64_t i = 0; i < n; ++i) {
        std::uint64_t x = i;
        for (unsigned k = 0; k < squarings; ++k) x = x * x % n;
        out[i] = value((x + n / 2) % n);
    }
}

// Runs of ceil(sqrt(n)) random values, each sorted one way.
template <class Order>
void fill_saws(std::span<std::int32_t> out, std::mt19937& rng, Order order)
{
    const std::size_t n = out.size();
    const auto run = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(n))));
    for (std::int32_t& v : out) v = static_cast<std::int32_t>(rng() % (n + 1));
    for (std::size_t start = 0; start < n; start += run) {
        std::sort(out.begin() + start, out.begin() + std::min(n, start + run), order);
    }
}

// Musser's median-of-3 killer for n = 2k (an odd n gets n - 1 on the end):
// a[i] = i for odd i and k + i - 1 for even i in the first half, a[k + i] =
// 2i in the second (1-based). A quicksort that takes the median of the
// first, middle and last elements as its pivot then splits off two elements
// at a time.
void fill_median3_killer(std::span<std::int32_t> out)
{
    const std::size_t n = out.size();
    const std::size_t k = n / 2;
    for (std::size_t i = 1; i <= k; ++i) {
        out[i - 1] = value(i % 2 == 1 ? i : k + i - 1);
        out[k + i - 1] = value(2 * i);
    }
    if (n % 2 == 1) out[n - 1] = value(n);
}

}  // namespace

std::string_view pattern_name(pattern p)
{
    for (const pattern_info& info : all_patterns) {
        if (info.p == p) {
            return info.name;
        }
    }
    return "unknown";
}

const pattern_info* pattern_named(std::string_view name)
{
    for (const pattern_info& info : all_patterns) {
        if (info.name == name) return &info;
    }
    return nullptr;
}

void fill_pattern(pattern p, std::span<std::int32_t> out, std::uint32_t seed)
{
    const std::size_t n = out.size();
    std::mt19937 rng(seed);
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
        fill_uniform(out, rng, 8, -4);
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
    case pattern::distinct_2:
        fill_uniform(out, rng, 2, 0);
        break;
    case pattern::distinct_16:
        fill_uniform(out, rng, 16, 0);
        break;
    case pattern::distinct_256:
        fill_uniform(out, rng, 256, 0);
        break;
    case pattern::random_tail: {
        const std::size_t head = n - n / 10;
        for (std::size_t i = 0; i < head; ++i) out[i] = value(i);
        for (std::size_t i = head; i < n; ++i) out[i] = static_cast<std::int32_t>(rng() % (n + 1));
        break;
    }
    case pattern::push_front:
        for (std::size_t i = 0; i + 1 < n; ++i) out[i] = value(i + 1);
        if (n > 0) out[n - 1] = 0;
        break;
    case pattern::zipf: {
        // k = floor(n^u) for uniform u has P(k) = log(1 + 1/k) / log(n),
        // within a factor of about 1.4 of 1/k normalised: Zipf with exponent 1.
        const double log_n = std::log(static_cast<double>(n > 1 ? n : 2));
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = static_cast<std::int32_t>(std::floor(std::exp(unit(rng) * log_n)));
        }
        break;
    }
    case pattern::middle_pivot_killer:
        fill_middle_pivot_killer(out);
        break;
    case pattern::p5:
        for (std::int32_t& v : out) v = rng() % 20 == 0 ? static_cast<std::int32_t>(1 + rng() % (n + 1)) : 0;
        break;
    case pattern::exponential: {
        const double mean = std::max(1.0, static_cast<double>(n) / 16);
        for (std::int32_t& v : out) v = static_cast<std::int32_t>(-std::log1p(-unit(rng)) * mean);
        break;
    }
    case pattern::sqrt_swaps: {
        for (std::size_t i = 0; i < n; ++i) out[i] = value(i);
        const auto swaps = static_cast<std::size_t>(std::sqrt(static_cast<double>(n)));
        for (std::size_t s = 0; s < swaps && n > 1; ++s) std::swap(out[rng() % n], out[rng() % n]);
        break;
    }
    case pattern::rootdup: {
        const auto root = std::max<std::size_t>(1, static_cast<std::size_t>(std::sqrt(static_cast<double>(n))));
        for (std::size_t i = 0; i < n; ++i) out[i] = value(i % root);
        break;
    }
    case pattern::twodup:
        fill_power_dup(out, 1);
        break;
    case pattern::eightdup:
        fill_power_dup(out, 3);
        break;
    case pattern::bit_reversal: {
        unsigned bits = 0;
        while ((std::size_t{1} << bits) < n) ++bits;
        std::size_t k = 0;
        for (std::size_t i = 0; k < n; ++i) {
            std::size_t r = 0;
            for (unsigned b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
            if (r < n) out[k++] = value(r);
        }
        break;
    }
    case pattern::asc_saws:
        fill_saws(out, rng, std::less<>());
        break;
    case pattern::desc_saws:
        fill_saws(out, rng, std::greater<>());
        break;
    case pattern::median3_killer:
        fill_median3_killer(out);
        break;
    case pattern::from_file:  // the user's values, which user_data fills
        break;
    }
}

void place_both_zeros(std::span<const std::int32_t> values, std::span<double> out)
{
    if (values.empty()) return;
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    double zeros[] = {-0.0, 0.0};
    std::size_t placed = 0;
    for (std::size_t i = 0; i < values.size() && placed < 2; ++i) {
        if (values[i] != *lo && values[i] != *hi) out[i] = zeros[placed++];
    }
}
