// The robustness classifier on tiny sorts broken on purpose, and the
// adversary's counts, which are deterministic.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <set>
#include <stdexcept>
#include <vector>

#include "bench/robustness/robustness.hpp"
#include "bench/engine/bench_run.hpp"

namespace {

sorts::op_counts reads_past_the_end(std::int32_t* a, std::uint32_t n)
{
    const volatile std::int32_t* v = a;
    return {static_cast<std::uint64_t>(v[n]), 0};
}

sorts::op_counts reads_before_the_start(std::int32_t* a, std::uint32_t)
{
    const volatile std::int32_t* v = a;
    return {static_cast<std::uint64_t>(v[-1]), 0};
}

sorts::op_counts loses_an_element(std::int32_t* a, std::uint32_t)
{
    a[0] = a[1];
    return {};
}

sorts::op_counts loops(std::int32_t*, std::uint32_t)
{
    for (volatile bool forever = true; forever;) {
    }
    return {};
}

sorts::op_counts throws_keeping(std::int32_t*, std::uint32_t)
{
    throw std::runtime_error("no");
}

sorts::op_counts sorts_them(std::int32_t* a, std::uint32_t n)
{
    std::sort(a, a + n);
    return {};
}

TEST(Robustness, ClassifiesWhatABrokenSortDid)
{
    std::vector<std::int32_t> input(1024);
    std::iota(input.rbegin(), input.rend(), 0);
    const auto outcome_of = [&](count_fn<std::int32_t>* f) {
        return run_guarded(f, bad_comparison::less_equal, input, 1);
    };
    EXPECT_EQ(outcome_of(sorts_them), outcome::kept);
    EXPECT_EQ(outcome_of(reads_past_the_end), outcome::past);
    EXPECT_EQ(outcome_of(reads_before_the_start), outcome::before);
    EXPECT_EQ(outcome_of(loses_an_element), outcome::lost);
    EXPECT_EQ(outcome_of(loops), outcome::unfinished);
    EXPECT_EQ(outcome_of(throws_keeping), outcome::threw_kept);
}

// Against McIlroy's adversary the middle-element quicksorts make at least
// n^2 / 4 comparisons at 10,000 elements, and introsort, whose depth limit
// hands over to heapsort, stays within 6 n log2 n; the counts are the same
// on every run.
TEST(Robustness, AdversaryCounts)
{
    const bench_run run;
    std::map<std::string, std::uint64_t> counts;
    for (const contender& c : run.contenders()) {
        if (c.id == "ex_quick_sort" || c.id == "my_QSORT" || c.id == "std_sort" || c.id == "pdqsort") {
            counts[c.id] = adversary_comparisons(c.of<std::int32_t>().count, 10000);
        }
    }
    EXPECT_EQ(counts["ex_quick_sort"], 25024695u);
    EXPECT_EQ(counts["my_QSORT"], 25025160u);
    EXPECT_EQ(counts["std_sort"], 409414u);
    EXPECT_GE(counts["ex_quick_sort"], 10000u * 10000u / 4);
    EXPECT_LE(counts["pdqsort"], 6 * 10000 * std::log2(10000));
}

// Stability as measured, not assumed: equal keys keep their input order in
// the stable sorts (and in glibc's qsort, a merge sort), not in the others.
TEST(Contenders, StabilityAsFound)
{
    const std::set<std::string> stable{"std_stable_sort", "c_qsort", "spinsort", "flat_stable_sort",
                                       "sample_sort", "parallel_stable_sort"};
    const bench_run run;
    for (const contender& c : run.contenders()) {
        EXPECT_EQ(!first_instability(c).has_value(), stable.count(c.id) == 1) << c.id;
    }
}

}  // namespace
