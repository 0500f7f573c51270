#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace
