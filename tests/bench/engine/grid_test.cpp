// The grid policy: which cases a run holds, their names, and the caps.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "bench/engine/grid.hpp"
#include "bench/engine/bench_run.hpp"

namespace {

// Which contender runs capped on which pattern: the quicksorts around the
// middle element on every pattern with runs of equal values and on the
// killers, comb sort on the killers (their small values sit far to the right).
TEST(Grid, CapsExactlyTheKnownQuadraticCases)
{
    const std::vector<std::string> equal_runs{"few_distinct", "all_equal", "distinct_2", "distinct_16",
                                              "distinct_256", "zipf", "middle_pivot_killer", "p5", "rootdup",
                                              "eightdup", "median3_killer"};
    const std::map<std::string, std::vector<std::string>> golden{
        {"comb_sort", {"middle_pivot_killer", "median3_killer"}}, {"ex_quick_sort", equal_runs}, {"my_QSORT", equal_runs}};
    std::map<std::string, std::vector<std::string>> capped;
    const bench_run run;
    for (const contender& c : run.contenders()) {
        for (const pattern_info& p : all_patterns) {
            const std::uint32_t cap = size_cap(c, p);
            if (cap != UINT32_MAX) {
                EXPECT_EQ(cap, 10000u);
                capped[c.id].emplace_back(p.name);
            }
        }
    }
    EXPECT_EQ(capped, golden);
}

using shape = std::tuple<std::string, std::uint32_t, bool, unsigned>;  // pattern, size, cold, threads

std::set<shape> product(const std::vector<std::string>& patterns, const std::vector<std::uint32_t>& sizes,
                        const std::vector<bool>& states, const std::vector<unsigned>& threads)
{
    std::set<shape> out;
    for (const auto& p : patterns)
        for (const auto n : sizes)
            for (const bool cold : states)
                for (const unsigned k : threads) out.emplace(p, n, cold, k);
    return out;
}

// The default run's cases of every contender on every type, against the
// grid they are meant to be.
TEST(Grid, DefaultRunHoldsTheGoldenCases)
{
    std::vector<std::string> classic, newer;
    for (const pattern_info& p : all_patterns) (classic.size() < classic_patterns ? classic : newer).emplace_back(p.name);
    const std::vector<std::uint32_t> every_size(suite_sizes.begin(), suite_sizes.end());
    const std::set<shape> beyond_cache = product({"random", "ascending"}, {10000000}, {false}, {0});
    std::set<shape> int32_sequential = product(classic, every_size, {false, true}, {0});
    int32_sequential.merge(product(newer, {10000}, {false}, {0}));
    int32_sequential.insert(beyond_cache.begin(), beyond_cache.end());
    const std::set<shape> other_sequential = product({"random", "ascending", "descending", "few_distinct", "zipf"},
                                                     {100, 10000, 1000000}, {false}, {0});
    const std::set<shape> record_sequential = product({"random", "ascending"}, {10000}, {false}, {0});
    std::set<shape> int64_sequential = other_sequential;
    int64_sequential.insert(beyond_cache.begin(), beyond_cache.end());
    const std::set<shape> pinned = product({"random", "ascending"}, {10000, 1000000}, {false}, {0});
    const std::set<shape> int32_parallel = product({"random", "few_distinct"}, {10000, 100000, 1000000}, {false}, {1, 2});

    const bench_run run;
    grid_options two_threads;
    two_threads.max_threads = 2;
    for_each_type([&]<class T>(T) {
        const std::string type(element_traits<T>::name);
        std::map<std::string, std::set<shape>> seen;
        for_each_case<T>(run.contenders(), two_threads, [&](const grid_case& g) {
            seen[g.c->id].emplace(std::string(g.p->name), g.n, g.cold, g.threads);
        });
        for (const contender& c : run.contenders()) {
            SCOPED_TRACE(c.id + " on " + type);
            if (!c.of<T>().sort) {
                EXPECT_EQ(seen.count(c.id), 0u);
            } else if (c.parallel()) {
                EXPECT_EQ(seen[c.id], type == "int32" ? int32_parallel : std::set<shape>{});
            } else if (c.pinned_target) {
                EXPECT_EQ(seen[c.id], type == "int32" || type == "int64" ? pinned : std::set<shape>{});
            } else {
                const bool classic = std::any_of(routines.begin(), routines.end(),
                                                 [&](const routine_info& r) { return r.id == c.id; });
                if (classic && (type == "int32" || type == "int64")) {
                    // At 10^7 with the full grid only.
                    for (const shape& s : beyond_cache) EXPECT_EQ(seen[c.id].count(s), 0u);
                    seen[c.id].insert(beyond_cache.begin(), beyond_cache.end());
                }
                const bool record = type == "rec100" || type == "rec1k" || type == "url";
                EXPECT_EQ(seen[c.id], type == "int32"   ? int32_sequential
                                      : type == "int64" ? int64_sequential
                                      : record          ? record_sequential
                                                        : other_sequential);
            }
        }
    });
}

// A routine that is quadratic on a pattern runs up to its cap, exactly at
// it included, and is capped only above it.
TEST(Grid, CappedOnlyAboveTheCap)
{
    const bench_run run;
    const contender& c = *std::find_if(run.contenders().begin(), run.contenders().end(), [](const contender& x) {
        return (x.traits & quadratic_on_equal_runs) != 0;
    });
    grid_options grid;
    grid.patterns = {pattern::few_distinct};
    grid.sizes = {quadratic_cap - 1, quadratic_cap, quadratic_cap + 1};
    std::map<std::uint32_t, bool> capped;
    for_each_case<std::int32_t>({&c}, grid, [&](const grid_case& g) { capped[g.n] = g.capped; });
    EXPECT_EQ(capped, (std::map<std::uint32_t, bool>{
                          {quadratic_cap - 1, false}, {quadratic_cap, false}, {quadratic_cap + 1, true}}));
}

// 10^8 elements only where the memory is there: one line otherwise, before
// anything runs.
TEST(Grid, HugeRunChecksTheMemoryFirst)
{
    EXPECT_EQ(huge_run_refusal(std::uint64_t{23695448} * 1024), "");
    EXPECT_EQ(huge_run_refusal(std::uint64_t{2000000} * 1024),
              "--huge needs about 4.4 GB of memory; 2.0 GB is available");
    EXPECT_EQ(huge_run_refusal(huge_run_bytes), "");
    EXPECT_NE(huge_run_refusal(huge_run_bytes - 1), "");
}

TEST(Grid, NamesAndThreadCounts)
{
    using counts = std::vector<unsigned>;
    EXPECT_EQ(thread_counts(1), (counts{1}));
    EXPECT_EQ(thread_counts(2), (counts{1, 2}));
    EXPECT_EQ(thread_counts(6), (counts{1, 2, 4, 6}));
    EXPECT_EQ(thread_counts(64), (counts{1, 2, 4, 8, 16, 32, 64}));
    EXPECT_EQ(thread_counts(65536).back(), 65536u);
    EXPECT_EQ(benchmark_name("pdqsort", "random", 10000, "int32", false), "pdqsort/random/10000");
    EXPECT_EQ(benchmark_name("ips4o_par", "random", 1000000, "int32", false, 8), "ips4o_par/random/1000000/threads:8");
    EXPECT_EQ(benchmark_name("x", "random", 100, "kv16", true, 2), "x/random/100/kv16/threads:2/cold");
}

}  // namespace
