// The element types and the pattern measures: each pattern keeps its shape
// on every type, and each pattern has the disorder that defines it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "inputs/disorder.hpp"
#include "inputs/patterns.hpp"

namespace {

template <class T>
std::vector<T> made(pattern p, std::size_t n, std::uint32_t seed = 1)
{
    std::vector<T> v(n);
    fill_elements(p, std::span(v), seed);
    return v;
}

// The measures of every pattern at 10,000 elements, as they define it.
TEST(Disorder, EachPatternHasItsGoldenMeasures)
{
    struct row {
        pattern p;
        double inverted;
        std::uint64_t runs, distinct;
    };
    const row golden[] = {
        {pattern::ascending, 0.0, 1, 10000},          {pattern::descending, 1.0, 10000, 10000},
        {pattern::random, 0.4996, 4954, 10000},       {pattern::few_distinct, 0.4351, 4373, 8},
        {pattern::all_equal, 0.0, 1, 1},              {pattern::organ_pipe, 0.4999, 5000, 5000},
        {pattern::sawtooth, 0.4372, 8, 1250},         {pattern::distinct_2, 0.2469, 2483, 2},
        {pattern::distinct_16, 0.4668, 4737, 16},     {pattern::distinct_256, 0.4999, 4977, 256},
        {pattern::random_tail, 0.0841, 514, 9085},    {pattern::push_front, 0.0002, 2, 10000},
        {pattern::zipf, 0.4942, 4907, 2933},          {pattern::middle_pivot_killer, 0.3334, 2501, 10000},
        {pattern::p5, 0.0471, 457, 455},              {pattern::exponential, 0.4995, 4952, 2077},
        {pattern::sqrt_swaps, 0.0124, 196, 10000},    {pattern::rootdup, 0.4901, 100, 100},
        {pattern::twodup, 0.4992, 5000, 1044},        {pattern::eightdup, 0.4888, 5000, 252},
        {pattern::bit_reversal, 0.4996, 5904, 10000}, {pattern::asc_saws, 0.5006, 100, 6323},
        {pattern::desc_saws, 0.5105, 9861, 6323},     {pattern::median3_killer, 0.3125, 2501, 10000},
    };
    ASSERT_EQ(std::size(golden), all_patterns.size());
    for (const row& r : golden) {
        SCOPED_TRACE(std::string(pattern_name(r.p)));
        const disorder d = measure_disorder<std::int32_t>(made<std::int32_t>(r.p, 10000));
        EXPECT_NEAR(d.inverted_fraction, r.inverted, 5e-5);
        EXPECT_EQ(d.ascending_runs, r.runs);
        EXPECT_EQ(d.distinct, r.distinct);
    }
    // Hand-checked: 3 1 2 has two inverted pairs of three, runs [3] [1 2].
    const std::vector<int> small{3, 1, 2};
    const disorder d = measure_disorder<int>(small);
    EXPECT_DOUBLE_EQ(d.inverted_fraction, 2.0 / 3);
    EXPECT_EQ(d.ascending_runs, 2u);
    EXPECT_EQ(d.distinct, 3u);
}

// Each type maps the 32-bit pattern by a strictly increasing map, so every
// measure of disorder is the same on every type.
TEST(Elements, EveryTypeKeepsEveryPatternsShape)
{
    for (const pattern_info& p : all_patterns) {
        SCOPED_TRACE(std::string(p.name));
        const disorder want = measure_disorder<std::int32_t>(made<std::int32_t>(p.p, 3000, 7));
        for_each_type([&]<class T>(T) {
            SCOPED_TRACE(std::string(element_traits<T>::name));
            const disorder got = measure_disorder<T>(made<T>(p.p, 3000, 7));
            // Doubles of the random pattern hold two zeros in place of two values.
            if (std::is_same_v<T, double> && p.p == pattern::random) {
                EXPECT_NEAR(got.inverted_fraction, want.inverted_fraction, 1e-3);
                EXPECT_EQ(got.distinct, want.distinct - 1);
            } else {
                EXPECT_EQ(got.inverted_fraction, want.inverted_fraction);
                EXPECT_EQ(got.ascending_runs, want.ascending_runs);
                EXPECT_EQ(got.distinct, want.distinct);
            }
        });
    }
}

// What each type promises of every pattern: the pattern's zeros as -0.0 at
// odd and +0.0 at even positions (so that sorts meet both zeros), random
// input with both, no NaN and no infinity; kv16's
// payload is the input position; strings of 3 to 28 characters, 12 or more
// where the values lie near zero, as in every pattern but random.
TEST(Elements, EveryTypeKeepsItsPromisesOnEveryPattern)
{
    for (const pattern_info& p : all_patterns) {
        SCOPED_TRACE(std::string(p.name));
        const auto values = made<std::int32_t>(p.p, 2000, 3);
        const auto real = made<double>(p.p, 2000, 3);
        for (std::size_t i = 0; i < values.size(); ++i) {
            ASSERT_TRUE(std::isfinite(real[i])) << i;
            if (values[i] == 0) {
                ASSERT_EQ(real[i], 0.0) << i;
                ASSERT_EQ(std::signbit(real[i]), i % 2 == 1) << i;
            }
        }
        if (p.p == pattern::random) {  // which holds zero about never, but both zeros placed
            EXPECT_TRUE(std::any_of(real.begin(), real.end(), [](double x) { return x == 0 && std::signbit(x); }));
            EXPECT_TRUE(std::any_of(real.begin(), real.end(), [](double x) { return x == 0 && !std::signbit(x); }));
        }
        const auto pairs = made<kv16>(p.p, 2000, 3);
        for (std::size_t i = 0; i < pairs.size(); ++i) ASSERT_EQ(pairs[i].value, i);
        for (const text t : made<text>(p.p, 2000, 3)) {
            ASSERT_GE(t.length, p.p == pattern::random ? 3u : 12u);
            ASSERT_LE(t.length, 28u);
        }
        // Records: the payload's first word the position, the rest derived
        // from it; URLs all of one length under one prefix of 79 bytes.
        const auto small = made<rec100>(p.p, 2000, 3);
        const auto large = made<rec1k>(p.p, 300, 3);
        for (std::size_t i = 0; i < small.size(); ++i) {
            ASSERT_EQ(small[i].payload[0], i);
            ASSERT_EQ(small[i].payload[22], static_cast<std::uint32_t>(i) * 2654435761u + 22);
        }
        for (std::size_t i = 0; i < large.size(); ++i) ASSERT_EQ(large[i].payload[0], i);
        const auto urls = made<url>(p.p, 2000, 3);
        for (const url u : urls) {
            ASSERT_EQ(u.length, urls[0].length);
            ASSERT_EQ(as_view(u).substr(0, 79), as_view(urls[0]).substr(0, 79));
        }
    }
    EXPECT_EQ(sizeof(rec100), 100u);
    EXPECT_EQ(sizeof(rec1k), 1024u);
}

// Random input covers each type's range, both extremes of the wider ones.
TEST(Elements, RandomCoversEachTypesRange)
{
    const auto wide = made<std::int64_t>(pattern::random, 1000);
    EXPECT_LT(*std::min_element(wide.begin(), wide.end()), std::numeric_limits<std::int64_t>::min() / 2);
    EXPECT_GT(*std::max_element(wide.begin(), wide.end()), std::numeric_limits<std::int64_t>::max() / 2);

    const auto real = made<double>(pattern::random, 1000);
    EXPECT_LT(*std::min_element(real.begin(), real.end()), -1e300);
    EXPECT_GT(*std::max_element(real.begin(), real.end()), 1e300);

    const auto words = made<text>(pattern::random, 1000);
    const auto [shortest, longest] = std::minmax_element(
        words.begin(), words.end(), [](text x, text y) { return x.length < y.length; });
    EXPECT_LE(shortest->length, 14u);
    EXPECT_GE(longest->length, 25u);
}

}  // namespace
