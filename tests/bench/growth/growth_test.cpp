#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "bench/growth/claims.hpp"
#include "bench/engine/adversary.hpp"
#include "inputs/patterns.hpp"
#include "inputs/user_data.hpp"

namespace {

// Counts of a known class, with the lower-order terms real sorts have.
TEST(Growth, FitsTheClassOfSyntheticCounts)
{
    struct known {
        const char* what;
        double (*count)(double n);
        double distinct;
        std::optional<growth_class> follows;
        bool tight;
    };
    const known cases[] = {
        {"3n + 40", [](double n) { return 3 * n + 40; }, 0, growth_class::n, true},
        {"merge sort", [](double n) { return n * std::log2(n) - 1.25 * n; }, 0, growth_class::n_log_n, true},
        {"n log n + 8n", [](double n) { return n * std::log2(n) + 8 * n; }, 0, growth_class::n_log_n, true},
        {"n log k, k = 8", [](double n) { return 1.5 * n * 3 + n; }, 8, growth_class::n, true},
        {"n^2/4 + n log n", [](double n) { return n * n / 4 + n * std::log2(n); }, 0, growth_class::n_squared, true},
        {"n^1.25", [](double n) { return std::pow(n, 1.25); }, 0, growth_class::n_squared, false},
        {"n^2.5", [](double n) { return std::pow(n, 2.5); }, 0, std::nullopt, false},
    };
    const std::uint32_t sizes[] = {1000, 2000, 5000, 10000, 20000, 50000, 100000, 200000, 500000, 1000000};
    for (const known& k : cases) {
        std::vector<growth_point> points;
        for (const std::uint32_t n : sizes) points.push_back({n, k.count(n), k.distinct > 0 ? k.distinct : n});
        const auto fit = fit_growth(points, 10000, 1000000);
        ASSERT_TRUE(fit) << k.what;
        EXPECT_EQ(fit->follows, k.follows) << k.what;
        EXPECT_EQ(fit->tight, k.tight) << k.what;
        EXPECT_EQ(fit->from, 10000u);
        EXPECT_EQ(fit->points, 7u);
        // n log k is offered only where the values repeat.
        EXPECT_EQ(fit->of(growth_class::n_log_k) != nullptr, k.distinct > 0) << k.what;
    }
    // Exactly n log2 n: its own exponent, a drift of 1 and the constant.
    std::vector<growth_point> exact;
    for (const std::uint32_t n : sizes) exact.push_back({n, 2.0 * n * std::log2(n), static_cast<double>(n)});
    const auto fit = fit_growth(exact, 10000, 1000000);
    EXPECT_NEAR(fit->exponent, n_log_n_exponent(10000, 1000000), 1e-3);
    EXPECT_NEAR(fit->of(growth_class::n_log_n)->drift, 1, 1e-9);
    EXPECT_NEAR(fit->of(growth_class::n_log_n)->constant, 2, 1e-9);
    // Sizes over the budget from 20,000 on: the fit takes what there is.
    exact.resize(4);
    const auto cut = fit_growth(exact, 10000, 1000000);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->from, 1000u);
    EXPECT_EQ(cut->to, 10000u);

    // More than ten times between its ends, the fallback still reaches down
    // to a hundredth of the largest size: 1,000 to 50,000 here.
    std::vector<growth_point> to_50000(exact.begin(), exact.begin() + 4);
    for (const std::uint32_t n : {20000u, 50000u}) to_50000.push_back({n, 2.0 * n * std::log2(n), double(n)});
    const auto wide = fit_growth(to_50000, 10000, 1000000);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->from, 1000u);
    EXPECT_EQ(wide->to, 50000u);
    EXPECT_EQ(wide->points, 6u);

    // n log k is offered where at most sqrt(n) values are distinct at the
    // largest size fitted (1,000 at 10^6), not at the smallest (100 at 10^4).
    for (const double distinct : {256.0, 2000.0}) {
        std::vector<growth_point> repeats;
        for (const std::uint32_t n : sizes) repeats.push_back({n, 1.5 * n * std::log2(distinct), distinct});
        const auto fit = fit_growth(repeats, 10000, 1000000);
        ASSERT_TRUE(fit);
        EXPECT_EQ(fit->of(growth_class::n_log_k) != nullptr, distinct < 1000) << distinct;
    }

    for (const char* text : {"n log n", "N*log(N)", "n log2 n", "nlogn"}) {
        EXPECT_EQ(class_named(text), growth_class::n_log_n) << text;
    }
    EXPECT_EQ(class_named("n²"), growth_class::n_squared);
    EXPECT_EQ(class_named("n ^ 2"), growth_class::n_squared);
    EXPECT_FALSE(class_named("n log log n"));
}

// Straight insertion, counted: n - 1 comparisons on ascending input,
// n (n - 1) / 2 on descending.
sorts::op_counts insertion_count(std::int32_t* a, std::uint32_t n)
{
    return sorts::count_through_elements(a, n, [](sorts::counted<std::int32_t>* b, std::uint32_t m) {
        for (std::uint32_t i = 1; i < m; ++i) {
            for (std::uint32_t j = i; j > 0 && b[j] < b[j - 1]; --j) std::swap(b[j], b[j - 1]);
        }
    });
}

TEST(Claims, HeldAndBrokenOnInsertionSort)
{
    contender insertion{"insertion", 0, {}, {}};
    insertion.forms.of<std::int32_t>().count = insertion_count;
    insertion.claims = "ascending: n  # its inner loop stops at once\nsorted: n\ndescending n^2\n";
    claims_options options;
    options.growth.sizes = {250, 500, 1000, 2000, 4000, 8000};
    options.growth.fit_from = 250;
    options.growth.fit_to = 8000;
    options.worst.n = 640;
    options.worst.budget = 2000000;

    const contender* one[] = {&insertion};
    const auto own = judge_claims(one, {}, options);
    ASSERT_EQ(own.size(), 3u);
    EXPECT_EQ(own[0].evidence, "unreadable");  // no pattern "sorted"
    EXPECT_EQ(own[1].evidence, "unreadable");  // no colon
    EXPECT_EQ(own[2].result, verdict::held);
    EXPECT_EQ(own[2].what.source, "its inner loop stops at once");

    const parsed_claims tried =
        parse_claims("ascending: n\ndescending: n\ndescending: n log n\ndescending: n^2\nworst: n log n\n"
                     "worst: n^2\nrandom: n log k\nstable\n");
    ASSERT_TRUE(tried.unreadable.empty());
    std::vector<std::pair<std::string, worst_found>> found;
    const auto judged = judge_claims(one, tried.claims, options, &found);
    // The worst case is searched at n / 10 as well; insertion's is reached
    // at both sizes: every pair once.
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].second.small_n, 64u);
    EXPECT_EQ(found[0].second.small.comparisons, 64u * 63 / 2);
    EXPECT_EQ(found[0].second.large.comparisons, 640u * 639 / 2);
    const verdict expected[] = {verdict::held,   verdict::broken, verdict::broken,     verdict::held,
                                verdict::broken, verdict::held,   verdict::not_judged, verdict::not_judged};
    ASSERT_EQ(judged.size(), std::size(expected));
    for (std::size_t i = 0; i < judged.size(); ++i) {
        EXPECT_EQ(judged[i].result, expected[i]) << judged[i].what.text << ": " << judged[i].evidence;
    }
}

// A median-of-3 quicksort with no depth limit: quadratic on inputs a search
// can find.
void weak_quicksort(sorts::counted<std::int32_t>* a, std::uint32_t n)
{
    while (n > 3) {
        const std::uint32_t mid = n / 2;
        if (a[mid] < a[0]) std::swap(a[mid], a[0]);
        if (a[n - 1] < a[mid]) std::swap(a[n - 1], a[mid]);
        if (a[mid] < a[0]) std::swap(a[mid], a[0]);
        std::swap(a[mid], a[n - 2]);
        const sorts::counted<std::int32_t> pivot = a[n - 2];
        std::uint32_t i = 0, j = n - 2;
        for (;;) {
            while (a[++i] < pivot) {
            }
            while (pivot < a[--j]) {
            }
            if (i >= j) break;
            std::swap(a[i], a[j]);
        }
        std::swap(a[i], a[n - 2]);
        weak_quicksort(a, i);
        a += i + 1;
        n -= i + 1;
    }
    for (std::uint32_t k = 1; k < n; ++k) {
        for (std::uint32_t m = k; m > 0 && a[m] < a[m - 1]; --m) std::swap(a[m], a[m - 1]);
    }
}

sorts::op_counts weak_count(std::int32_t* a, std::uint32_t n)
{
    return sorts::count_through_elements(a, n, weak_quicksort);
}

TEST(Worst, RaisesAWeakQuicksortAndReplays)
{
    worst_options options;
    options.n = 300;
    options.budget = 4000000;
    const worst_result best = search_worst(weak_count, options);
    EXPECT_GE(best.comparisons, 300 * 300 / 8);

    // Local changes alone, from the random pattern.
    options.start = "random";
    const worst_result r = search_worst(weak_count, options);
    EXPECT_EQ(r.start, "random");
    EXPECT_EQ(r.start_comparisons, r.random_comparisons);
    EXPECT_GT(r.improvements, 0u);
    EXPECT_GT(r.comparisons, 1.2 * r.random_comparisons);
    EXPECT_EQ(search_worst(weak_count, options).input, r.input);  // the seed decides

    const std::string file = worst_file(testing::TempDir(), "weak", options);
    ASSERT_TRUE(write_int32_file(file, r.input));
    const auto data = read_user_data(file, "int32", false, {options.n}, UINT64_MAX);
    std::vector<std::int32_t> replay(options.n);
    data->fill(std::span(replay), 0);
    EXPECT_EQ(weak_count(replay.data(), options.n).comparisons, r.comparisons);
    std::filesystem::remove(file);

    options.start = "nothing";
    EXPECT_THROW(search_worst(weak_count, options), std::invalid_argument);
}

// A count that never moves: every step is a plateau, and the search keeps
// each one, so the input wanders from where it started.
sorts::op_counts scan_count(std::int32_t* a, std::uint32_t n)
{
    std::uint64_t calls = 0;
    for (std::uint32_t i = 1; i < n; ++i, ++calls) (void)sorts::counted_less(a[i - 1], a[i]);
    return {calls, 0};
}

TEST(Worst, KeepsStepsThatDoNotLowerTheCount)
{
    worst_options options;
    options.n = 100;
    options.budget = 5000;
    options.start = "random";
    const worst_result r = search_worst(scan_count, options);
    EXPECT_EQ(r.comparisons, 99u);
    EXPECT_EQ(r.improvements, 0u);
    std::vector<std::int32_t> start(options.n);
    fill_pattern(pattern::random, start, 1);
    EXPECT_NE(r.input, start);
    EXPECT_TRUE(std::is_permutation(r.input.begin(), r.input.end(), start.begin()));
}

}  // namespace
