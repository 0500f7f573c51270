// The companion suite's benchmarks: one per contender, pattern, size and cache
// state, each timing batches of arrays with manual time and verifying every
// array after the clock.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>

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
struct sort_case {
    std::string name;  // as registered; warm-up and error messages use it
    sort_func* sort = nullptr;
    pattern p = pattern::ascending;
    std::uint32_t n = 0;
    bool cold = false;
    tick_source clock = monotonic_ticks;
};

// Registers the benchmark of one case, timed by manual time with the min
// statistic beside Google Benchmark's own aggregates.
benchmark::internal::Benchmark* register_sort_case(const sort_case& c);

// Registers every contender on every pattern and size, warm and cold, and
// names the contenders and patterns in the context, in their order.
void register_suite();

// How many benchmarks found an array that did not come out as std::sort of
// its input. Any makes the run fail.
std::size_t wrong_results();
