#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <cstdint>
#include <limits>
#include <numeric>
#include <utility>
#include <set>
#include <string>
#include <vector>

#include "inputs/patterns.hpp"

namespace {

std::vector<std::int32_t> make(pattern p, std::size_t n, std::uint32_t seed = 1)
{
    std::vector<std::int32_t> v(n);
    fill_pattern(p, v, seed);
    return v;
}

TEST(Patterns, EachMakesWhatItsNameSays)
{
    using V = std::vector<std::int32_t>;
    EXPECT_EQ(make(pattern::ascending, 5), (V{0, 1, 2, 3, 4}));
    EXPECT_EQ(make(pattern::descending, 5), (V{4, 3, 2, 1, 0}));
    EXPECT_EQ(make(pattern::all_equal, 4), (V{42, 42, 42, 42}));
    EXPECT_EQ(make(pattern::organ_pipe, 7), (V{0, 1, 2, 3, 2, 1, 0}));
    EXPECT_EQ(make(pattern::organ_pipe, 6), (V{0, 1, 2, 2, 1, 0}));
    EXPECT_EQ(make(pattern::sawtooth, 20), (V{0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1}));

    const V few = make(pattern::few_distinct, 1000);
    const std::set<std::int32_t> distinct(few.begin(), few.end());
    EXPECT_EQ(distinct, (std::set<std::int32_t>{-4, -3, -2, -1, 0, 1, 2, 3}));

    const V random = make(pattern::random, 1000);
    EXPECT_EQ(*std::min_element(random.begin(), random.end()), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(*std::max_element(random.begin(), random.end()), std::numeric_limits<std::int32_t>::max());
    EXPECT_GT(std::set<std::int32_t>(random.begin(), random.end()).size(), 990u);
    EXPECT_GT(std::count_if(random.begin(), random.end(), [](std::int32_t v) { return v < 0; }), 400);
    const V pair = make(pattern::random, 2);
    EXPECT_EQ(std::set<std::int32_t>(pair.begin(), pair.end()),
              (std::set<std::int32_t>{std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max()}));
}

TEST(Patterns, AreDeterministicFromTheirSeed)
{
    for (const pattern_info& info : all_patterns) {
        SCOPED_TRACE(std::string(info.name));
        EXPECT_EQ(make(info.p, 257, 7), make(info.p, 257, 7));
        EXPECT_TRUE(make(info.p, 0).empty());
        EXPECT_EQ(pattern_name(info.p), info.name);
    }
    EXPECT_NE(make(pattern::random, 257, 7), make(pattern::random, 257, 8));
    EXPECT_NE(make(pattern::few_distinct, 257, 7), make(pattern::few_distinct, 257, 8));
}

std::size_t distinct_count(const std::vector<std::int32_t>& v)
{
    return std::set<std::int32_t>(v.begin(), v.end()).size();
}

TEST(Patterns, NewerShapesHaveTheirStructure)
{
    for (const auto& [p, k] : {std::pair{pattern::distinct_2, 2u}, std::pair{pattern::distinct_16, 16u},
                               std::pair{pattern::distinct_256, 256u}}) {
        EXPECT_EQ(distinct_count(make(p, 20000)), k) << pattern_name(p);
    }

    const std::vector<std::int32_t> tail = make(pattern::random_tail, 1000);
    EXPECT_TRUE(std::is_sorted(tail.begin(), tail.begin() + 900));
    EXPECT_FALSE(std::is_sorted(tail.begin() + 899, tail.end()));

    const std::vector<std::int32_t> pushed = make(pattern::push_front, 100);
    EXPECT_TRUE(std::is_sorted(pushed.begin(), pushed.end() - 1));
    EXPECT_EQ(pushed.back(), *std::min_element(pushed.begin(), pushed.end()));
    EXPECT_LT(pushed.back(), pushed.front());

    // Zipf, exponent 1: value k about twice as common as 2k, and 1 the most
    // common by far; every value within 1..n.
    const std::vector<std::int32_t> zipf = make(pattern::zipf, 100000);
    const auto count = [&](std::int32_t v) { return std::count(zipf.begin(), zipf.end(), v); };
    EXPECT_GT(count(1), 2 * count(3));
    EXPECT_GT(count(2), count(4) * 3 / 2);
    EXPECT_LT(count(2), count(4) * 3);
    EXPECT_GE(*std::min_element(zipf.begin(), zipf.end()), 1);
    EXPECT_LE(*std::max_element(zipf.begin(), zipf.end()), 100000);

    // The killer is a permutation of 0 .. n-1: distinct values.
    std::vector<std::int32_t> killer = make(pattern::middle_pivot_killer, 1000);
    std::sort(killer.begin(), killer.end());
    std::vector<std::int32_t> identity(1000);
    std::iota(identity.begin(), identity.end(), 0);
    EXPECT_EQ(killer, identity);
}

// What defines the killer: at every split that a middle-element quicksort
// with a Hoare partition makes (pivot a[n / 2], scans that stop at values
// equal to it, ranges above 32 elements), the pivot is the smallest value
// left, so the split peels off one element.
TEST(Patterns, KillerMakesEveryMiddlePivotTheSmallest)
{
    for (const std::size_t size : {33u, 100u, 1000u, 4097u}) {
        SCOPED_TRACE(size);
        std::vector<std::int32_t> v = make(pattern::middle_pivot_killer, size);
        std::int32_t* a = v.data();
        for (std::size_t n = size; n > 32; ++a, --n) {
            const std::int32_t p = a[n / 2];
            ASSERT_EQ(p, *std::min_element(a, a + n)) << "range of " << n;
            std::size_t i = 0, j = n - 1;
            for (;;) {
                while (a[i] < p) ++i;
                while (a[j] > p) --j;
                if (i >= j) break;
                std::swap(a[i], a[j]);
                ++i;
            }
            ASSERT_EQ(i, 1u) << "range of " << n;
        }
    }
}

// The other benchmarks' distributions, each held to what defines it.
TEST(Patterns, PeersDistributionsHaveTheirDefiningProperty)
{
    constexpr std::size_t n = 10000;  // a square: sqrt(n) = 100
    const auto permutation_of_n = [](std::vector<std::int32_t> v) {
        std::sort(v.begin(), v.end());
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (v[i] != static_cast<std::int32_t>(i)) return false;
        }
        return true;
    };
    const auto runs = [](const std::vector<std::int32_t>& v, auto order) {
        std::size_t count = v.empty() ? 0 : 1;
        for (std::size_t i = 1; i < v.size(); ++i) count += order(v[i], v[i - 1]);
        return count;  // maximal runs in which no element is `order` than the one before
    };

    const auto p5 = make(pattern::p5, n);
    const auto zeros = std::count(p5.begin(), p5.end(), 0);
    EXPECT_GT(zeros, 9350);  // 95% of 10,000, within 3.4 standard deviations
    EXPECT_LT(zeros, 9650);
    EXPECT_GT(distinct_count(p5), 400u);

    // Exponential with mean n/16 = 625: about e^-1 of the values at 625 or
    // more, e^-2 at 1,250 or more; the most common value is 0.
    const auto expo = make(pattern::exponential, n);
    const auto at_least = [&](std::int32_t x) { return std::count_if(expo.begin(), expo.end(), [x](auto v) { return v >= x; }); };
    EXPECT_NEAR(static_cast<double>(at_least(625)) / n, 0.3679, 0.02);
    EXPECT_NEAR(static_cast<double>(at_least(1250)) / n, 0.1353, 0.015);
    EXPECT_GE(*std::min_element(expo.begin(), expo.end()), 0);

    // 100 swaps move at most 200 elements from their place.
    const auto swapped = make(pattern::sqrt_swaps, n);
    EXPECT_TRUE(permutation_of_n(swapped));
    std::size_t moved = 0;
    for (std::size_t i = 0; i < n; ++i) moved += swapped[i] != static_cast<std::int32_t>(i);
    EXPECT_GT(moved, 100u);
    EXPECT_LE(moved, 200u);

    // 100 values, each 100 times, in 100 ascending runs of 0 .. 99.
    const auto root = make(pattern::rootdup, n);
    EXPECT_EQ(distinct_count(root), 100u);
    EXPECT_EQ(std::count(root.begin(), root.end(), 57), 100);
    EXPECT_EQ(runs(root, std::less<>()), 100u);

    // ips4o's formulas, and how few values they leave distinct.
    EXPECT_EQ(make(pattern::twodup, 8), (std::vector<std::int32_t>{4, 5, 0, 5, 4, 5, 0, 5}));
    EXPECT_EQ(make(pattern::eightdup, 8), (std::vector<std::int32_t>{4, 5, 4, 5, 4, 5, 4, 5}));
    EXPECT_LT(distinct_count(make(pattern::twodup, n)), n / 2);
    EXPECT_LT(distinct_count(make(pattern::eightdup, n)), distinct_count(make(pattern::twodup, n)));

    // Bit reversal: a permutation; for a power of two, its own inverse.
    const auto reversed = make(pattern::bit_reversal, 1024);
    EXPECT_TRUE(permutation_of_n(reversed));
    for (std::size_t i = 0; i < 1024; ++i) ASSERT_EQ(reversed[static_cast<std::size_t>(reversed[i])], static_cast<std::int32_t>(i));
    EXPECT_EQ(make(pattern::bit_reversal, 8), (std::vector<std::int32_t>{0, 4, 2, 6, 1, 5, 3, 7}));
    EXPECT_TRUE(permutation_of_n(make(pattern::bit_reversal, 1000)));

    // 100 runs of 100, each ascending (descending).
    EXPECT_EQ(runs(make(pattern::asc_saws, n), std::less<>()), 100u);
    EXPECT_EQ(runs(make(pattern::desc_saws, n), std::greater<>()), 100u);

    EXPECT_EQ(make(pattern::median3_killer, 8), (std::vector<std::int32_t>{1, 5, 3, 7, 2, 4, 6, 8}));
}

// A reference median-of-3 quicksort (the median of the first, middle and
// last elements as pivot, a Hoare partition, insertion sort below 16) and
// its comparisons: Musser's sequence drives it to about n^2/5, where random
// input of the same size takes under 2 n log2 n.
std::uint64_t median3_quicksort_comparisons(std::vector<std::int32_t> a)
{
    std::uint64_t count = 0;
    const auto less = [&](std::int32_t x, std::int32_t y) { ++count; return x < y; };
    const auto sort = [&](auto&& self, std::size_t lo, std::size_t hi) -> void {
        while (hi - lo > 16) {
            std::int32_t x = a[lo], y = a[lo + (hi - lo) / 2], z = a[hi - 1];
            if (less(y, x)) std::swap(x, y);
            if (less(z, y)) {
                y = z;
                if (less(y, x)) y = x;
            }
            const std::int32_t p = y;
            std::size_t i = lo, j = hi - 1;
            for (;;) {
                while (less(a[i], p)) ++i;
                while (less(p, a[j])) --j;
                if (i >= j) break;
                std::swap(a[i++], a[j--]);
            }
            if (j + 1 - lo < hi - j - 1) {
                self(self, lo, j + 1);
                lo = j + 1;
            } else {
                self(self, j + 1, hi);
                hi = j + 1;
            }
        }
        for (std::size_t i = lo + 1; i < hi; ++i) {
            const std::int32_t v = a[i];
            std::size_t j = i;
            for (; j > lo && less(v, a[j - 1]); --j) a[j] = a[j - 1];
            a[j] = v;
        }
    };
    sort(sort, 0, a.size());
    EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));
    return count;
}

TEST(Patterns, Median3KillerDefeatsAMedianOf3Quicksort)
{
    for (const std::size_t n : {1000u, 4000u}) {
        SCOPED_TRACE(n);
        const double n_log_n = static_cast<double>(n) * std::log2(static_cast<double>(n));
        const auto killed = median3_quicksort_comparisons(make(pattern::median3_killer, n));
        EXPECT_GT(static_cast<double>(killed), static_cast<double>(n * n) / 6);
        EXPECT_LT(static_cast<double>(median3_quicksort_comparisons(make(pattern::random, n))), 2 * n_log_n);
    }
}

}  // namespace
