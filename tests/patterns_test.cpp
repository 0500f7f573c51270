#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "bench/patterns.hpp"

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
    for (pattern p : all_patterns) {
        SCOPED_TRACE(std::string(pattern_name(p)));
        EXPECT_EQ(make(p, 257, 7), make(p, 257, 7));
        EXPECT_TRUE(make(p, 0).empty());
    }
    EXPECT_NE(make(pattern::random, 257, 7), make(pattern::random, 257, 8));
    EXPECT_NE(make(pattern::few_distinct, 257, 7), make(pattern::few_distinct, 257, 8));
}

}  // namespace
