// The companion suite's benchmarks on Google Benchmark: one per case of the
// grid, each timing batches of arrays with manual time and verifying every
// array after the clock.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>

#include "bench/engine/grid.hpp"
#include "bench/engine/bench_run.hpp"

// What one benchmark sorts, with what, and by which clock.
template <class T>
struct sort_case {
    std::string name;  // as registered; warm-up and error messages use it
    sort_ref<T> sort;
    pattern p = pattern::ascending;
    std::uint32_t n = 0;
    bool cold = false;
    tick_source clock = monotonic_ticks;
    unsigned threads = 0;  // for a parallel sort, the threads it runs with
    std::function<void(unsigned threads)> use_threads;
    // What is read beside the clock; a sort on several threads counts the
    // CPU time of the process.
    cost_meter meter = thread_costs;
};

// Registers the benchmark of one case of `run`, timed by manual time with
// the min statistic beside Google Benchmark's own aggregates. `run` must
// outlive the benchmark.
template <class T>
benchmark::internal::Benchmark* register_sort_case(bench_run& run, const sort_case<T>& c);

// Registers every case of the grid of `run`'s contenders, type by type, and
// names the contenders, patterns and types in the context, in their order.
void register_suite(bench_run& run, const grid_options& options);
