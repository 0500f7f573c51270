#include "suite.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/engine/context.hpp"

namespace {

// Every call sorts fresh input. Copying the input back would cost as much as
// sorting an ascending array, and PauseTiming per call costs more than a small
// sort, so each batch copies its arrays outside a manually timed window, times
// sorting them all with one pair of clock reads, and counts one iteration per
// array: Google Benchmark divides the batch's time by the arrays in it.
template <class T>
void sort_benchmark(benchmark::State& state, bench_run& run, const sort_case<T>& c)
{
    prepared<T>& in = run.inputs<T>(c.p, c.n);
    if (c.use_threads) {
        c.use_threads(c.threads);
    }
    // An untimed warm-up call, once per benchmark: a routine that allocates
    // (glibc's qsort mallocs a buffer as large as the array from 256 elements
    // on) touches its fresh pages here, and with the allocator pinned in
    // main() the timed calls then reuse them, whatever ran before in this
    // process. Repetitions skip it: at 1,000,000 elements it costs as much as
    // the measurement.
    if (run.first_call(c.name)) {
        std::copy_n(in.input.begin(), c.n, in.work.begin());
        c.sort(in.work.data(), c.n);
    }
    batch_totals totals;
    const double frequency = static_cast<double>(c.clock.frequency());
    while (state.KeepRunningBatch(static_cast<benchmark::IterationCount>(in.copies))) {
        batch_timing t;
        const bool sorted = measure_batch(in, c.sort, c.cold, c.clock, c.meter, totals, &t);
        state.SetIterationTime(static_cast<double>(t.ticks) / frequency);
        if (!sorted) {
            std::fprintf(stderr, "WRONG RESULT: %s did not sort its input\n", c.name.c_str());
            run.wrong_result();
            state.SkipWithError("wrong result: not ordered, or not a permutation of the input");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(c.n));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(c.n * sizeof(T)));
    const call_figures f = totals.per_call(c.clock.frequency(), std::max(1u, c.threads));
    state.counters["cpu_ns"] = f.cpu_ns;
    state.counters["off_cpu"] = f.off_cpu;
    state.counters["copy_ns"] = f.copy_ns;
    state.counters["read_ns"] = f.read_ns;
    state.counters["copies"] = f.copies;
    // Left out where they cannot be counted: a reader shows n/a, not 0.
    for (std::size_t i = 0; i < counter_count; ++i) {
        if (call_counters[i].missing().empty()) state.counters[std::string(call_counters[i].key)] = f.per_call[i];
    }
}

void skipped_benchmark(benchmark::State& state, std::uint32_t cap)
{
    const std::string why = "skipped: quadratic on this pattern, run up to " + std::to_string(cap) +
                            " elements only";
    state.SkipWithError(why.c_str());
    for (auto _ : state) {
    }
}

benchmark::internal::Benchmark* with_statistics(benchmark::internal::Benchmark* b)
{
    b->UseManualTime();
    b->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
    return b;
}

template <class List>
std::string joined(const List& items, auto name_of)
{
    std::string out;
    for (const auto& item : items) {
        if (!out.empty()) out += ',';
        out += name_of(item);
    }
    return out;
}

}  // namespace

template <class T>
benchmark::internal::Benchmark* register_sort_case(bench_run& run, const sort_case<T>& c)
{
    return with_statistics(benchmark::RegisterBenchmark(
        c.name.c_str(), [&run, c](benchmark::State& state) { sort_benchmark<T>(state, run, c); }));
}

template benchmark::internal::Benchmark* register_sort_case(bench_run&, const sort_case<std::int32_t>&);

void register_suite(bench_run& run, const grid_options& options)
{
    benchmark::AddCustomContext("contenders", joined(run.contenders(), [](const contender& c) { return c.id; }));
    std::vector<std::string_view> patterns;
    for (const pattern_info& p : all_patterns) patterns.push_back(p.name);
    if (options.data != nullptr) {
        patterns.push_back(options.data->pattern().name);
        benchmark::AddCustomContext("input_pattern", std::string(options.data->pattern().name));
        benchmark::AddCustomContext("input_file", options.data->path());
        benchmark::AddCustomContext("input_type", options.data->type());
    }
    benchmark::AddCustomContext("patterns", joined(patterns, [](std::string_view p) { return p; }));
    std::vector<std::string> types, bytes;
    for_each_type([&]<class T>(T) {
        types.emplace_back(element_traits<T>::name);
        bytes.push_back(types.back() + ":" + std::to_string(sizeof(T)));
    });
    benchmark::AddCustomContext("types", joined(types, [](const std::string& t) { return t; }));
    benchmark::AddCustomContext("type_bytes", joined(bytes, [](const std::string& t) { return t; }));
    for (const auto& [key, value] : counters_context()) benchmark::AddCustomContext(key, value);

    // Type outer, so that int32's benchmarks come first and in their old order.
    for_each_type([&]<class T>(T) {
        for_each_case<T>(run.contenders(), options, [&](const grid_case& g) {
            if (g.capped) {
                with_statistics(benchmark::RegisterBenchmark(g.name.c_str(), skipped_benchmark, size_cap(*g.c, *g.p)));
            } else {
                register_sort_case<T>(run, {g.name, g.c->of<T>().sort, g.p->p, g.n, g.cold, monotonic_ticks,
                                            g.threads, g.c->use_threads,
                                            g.threads > 0 ? process_costs : thread_costs});
            }
        });
    });
}
