// sortbench-patterns: the five routines beside std::sort and std::stable_sort
// on several input patterns and the benchmark's fourteen sizes, on Google
// Benchmark. Names read routine/pattern/size.
//
// Every call sorts fresh input. Copying the input back would cost as much as
// sorting an ascending array, and PauseTiming per call costs more than a small
// sort, so the copies are made outside a manually timed window: each batch
// copies `copies` pre-made arrays, times sorting them all with one pair of
// clock reads, and reports one iteration per call. After the clock, every
// array is compared with std::sort of its input.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "bench/patterns.hpp"
#include "harness/tables.hpp"
#include "sorts/registry.hpp"

namespace {

void std_sort(std::int32_t* a, std::uint32_t n)
{
    std::sort(a, a + n);
}

void std_stable_sort(std::int32_t* a, std::uint32_t n)
{
    std::stable_sort(a, a + n);
}

struct contender {
    std::string id;
    sort_func* routine;
    unsigned traits;  // routine_trait bits
};

std::vector<contender> contenders()
{
    std::vector<contender> all;
    for (const routine_info& r : routines) {
        all.push_back({r.id, r.sort, r.traits});
    }
    all.push_back({"std_sort", std_sort, 0});
    all.push_back({"std_stable_sort", std_stable_sort, 0});
    return all;
}

// Largest size run for a quadratic case. Every split of a run of equal values
// peels off one element, so all-equal input costs ~n^2/2 steps, and 8 distinct
// values ~n^2/16. At 10,000 elements one call takes up to about a quarter of
// a second here (my_QSORT, all equal); at 100,000 it takes up to three seconds
// with 8 values and minutes with one.
constexpr std::uint32_t quadratic_cap = 10000;

std::uint32_t size_cap(const contender& c, pattern p)
{
    const bool equal_runs = p == pattern::all_equal || p == pattern::few_distinct;
    return (c.traits & quadratic_on_equal_runs) && equal_runs ? quadratic_cap : UINT32_MAX;
}

// A batch holds about this many elements (256 KiB), so that small arrays are
// sorted many to a clock read and the batch stays in the L2 cache.
constexpr std::size_t batch_elements = 1 << 16;

bool any_wrong = false;

void sort_benchmark(benchmark::State& state, const std::string& name, sort_func* routine, pattern p,
                    std::uint32_t n)
{
    const std::size_t copies = std::max<std::size_t>(1, batch_elements / n);
    std::vector<std::int32_t> input(copies * n);
    for (std::size_t k = 0; k < copies; ++k) {
        fill_pattern(p, std::span(input).subspan(k * n, n), static_cast<std::uint32_t>(k + 1));
    }
    std::vector<std::int32_t> expected = input;
    for (std::size_t k = 0; k < copies; ++k) {
        std::sort(expected.begin() + k * n, expected.begin() + (k + 1) * n);
    }
    std::vector<std::int32_t> work(input.size());

    while (state.KeepRunningBatch(static_cast<benchmark::IterationCount>(copies))) {
        std::copy(input.begin(), input.end(), work.begin());
        const auto t0 = std::chrono::steady_clock::now();
        for (std::size_t k = 0; k < copies; ++k) {
            routine(work.data() + k * n, n);
        }
        const auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        if (work != expected) {
            std::fprintf(stderr, "WRONG RESULT: %s did not sort like std::sort\n", name.c_str());
            any_wrong = true;
            state.SkipWithError("wrong result: not sorted like std::sort");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

void skipped_benchmark(benchmark::State& state, std::uint32_t cap)
{
    const std::string why = "skipped: quadratic on runs of equal values, run up to " +
                            std::to_string(cap) + " elements only";
    state.SkipWithError(why.c_str());
    for (auto _ : state) {
    }
}

}  // namespace

int main(int argc, char** argv)
{
    // Google Benchmark's default of 0.5 s per benchmark would make a full run
    // of ~700 benchmarks take over ten minutes; 0.05 s keeps it to a few. A
    // --benchmark_min_time given on the command line comes later and wins.
    std::vector<char*> args{argv[0], const_cast<char*>("--benchmark_min_time=0.05")};
    args.insert(args.end(), argv + 1, argv + argc);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
        return 1;
    }

    for (const contender& c : contenders()) {
        for (pattern p : all_patterns) {
            for (const test_case& tc : test_cases) {
                const auto n = static_cast<std::uint32_t>(tc.num);
                const std::string name = c.id + "/" + std::string(pattern_name(p)) + "/" + std::to_string(n);
                const std::uint32_t cap = size_cap(c, p);
                benchmark::internal::Benchmark* b =
                    n > cap ? benchmark::RegisterBenchmark(name.c_str(), skipped_benchmark, cap)
                            : benchmark::RegisterBenchmark(name.c_str(), sort_benchmark, name, c.routine, p, n);
                b->UseManualTime();
            }
        }
    }
    const std::size_t ran = benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // A filter that matches nothing is a mistake, not an empty success.
    return any_wrong || ran == 0 ? 1 : 0;
}
