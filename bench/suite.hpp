// The companion suite's benchmarks: one per contender, pattern, size and cache
// state, each timing batches of arrays with manual time and verifying every
// array after the clock.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <optional>
#include <string_view>
#include <vector>

#include "bench/batch.hpp"
#include "bench/contenders.hpp"
#include "inputs/patterns.hpp"

// Largest size run for a quadratic case. Every split of a run of equal values
// peels off one element, so all-equal input costs ~n^2/2 steps, 8 distinct
// values ~n^2/16, and the killer ~n^2/2 too. At 10,000 elements one call
// takes up to about a quarter of a second here; at 100,000 up to minutes.
inline constexpr std::uint32_t quadratic_cap = 10000;

// The largest size the suite runs `c` on pattern `p`.
std::uint32_t size_cap(const contender& c, const pattern_info& p);

// What one benchmark sorts, with what, and by which clock.
template <class T>
struct sort_case {
    std::string name;  // as registered; warm-up and error messages use it
    sort_fn<T>* sort = nullptr;
    pattern p = pattern::ascending;
    std::uint32_t n = 0;
    bool cold = false;
    tick_source clock = monotonic_ticks;
    unsigned threads = 0;  // for a parallel sort, the threads it runs with
    void (*use_threads)(unsigned threads) = nullptr;
};

// Registers the benchmark of one case, timed by manual time with the min
// statistic beside Google Benchmark's own aggregates.
template <class T>
benchmark::internal::Benchmark* register_sort_case(const sort_case<T>& c);

// The benchmark's name: contender/pattern/size, then the element type unless
// it is int32, then "threads:K" for a parallel sort on K threads (`threads`
// 0 for a sequential one), then "cold" for arrays that come from memory.
std::string benchmark_name(const std::string& contender, std::string_view pattern, std::uint32_t n,
                           std::string_view type, bool cold, unsigned threads = 0);

// Whether the default run includes this case. int32 runs everything; the
// other types run the patterns and sizes that tell the types apart
// (random, ascending, descending, few_distinct and zipf at 100, 10,000 and
// 1,000,000 elements), warm, so that a full run stays near ten minutes.
bool in_default_run(std::string_view type, pattern p, std::uint32_t n, bool cold);

// The parallel sorts' part of the default run: int32, random and
// few_distinct input, warm, from 10,000 elements up, where threads can pay.
bool in_default_parallel_run(std::string_view type, pattern p, std::uint32_t n, bool cold);

// A limit on the threads of the parallel sorts, as --max_threads or
// SORTBENCH_MAX_THREADS give it: a whole number from 1 to 65536.
std::optional<unsigned> parse_thread_limit(std::string_view text);

// Registers every contender on every type it takes, pattern and size, warm
// and cold, the parallel ones at every count of thread_counts(max_threads)
// (with `full_grid` false, only the default run's cases), and names the
// contenders, patterns and types in the context, in their order.
void register_suite(const std::vector<contender>& all, bool full_grid, unsigned max_threads);

// How many benchmarks found an array that did not come out as std::sort of
// its input. Any makes the run fail.
std::size_t wrong_results();
