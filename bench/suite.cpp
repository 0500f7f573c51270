#include "suite.hpp"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "inputs/sizes.hpp"

namespace {

std::size_t wrong = 0;

// The pre-made inputs of a pattern and size, made once and shared by every
// contender, cache state and repetition.
template <class T>
prepared<T>& inputs(pattern p, std::uint32_t n)
{
    static std::map<std::pair<pattern, std::uint32_t>, std::unique_ptr<prepared<T>>> made;
    auto& slot = made[{p, n}];
    if (!slot) {
        slot = prepare<T>(p, n);
    }
    return *slot;
}

// Every call sorts fresh input. Copying the input back would cost as much as
// sorting an ascending array, and PauseTiming per call costs more than a small
// sort, so each batch copies its arrays outside a manually timed window, times
// sorting them all with one pair of clock reads, and counts one iteration per
// array: Google Benchmark divides the batch's time by the arrays in it.
template <class T>
void sort_benchmark(benchmark::State& state, const sort_case<T>& c)
{
    prepared<T>& in = inputs<T>(c.p, c.n);
    if (c.use_threads != nullptr) {
        c.use_threads(c.threads);
    }
    // An untimed warm-up call, once per benchmark: a routine that allocates
    // (glibc's qsort mallocs a buffer as large as the array from 256 elements
    // on) touches its fresh pages here, and with the allocator pinned in
    // main() the timed calls then reuse them, whatever ran before in this
    // process. Repetitions skip it: at 1,000,000 elements it costs as much as
    // the measurement.
    static std::set<std::string> warmed;
    if (warmed.insert(c.name).second) {
        std::copy_n(in.input.begin(), c.n, in.work.begin());
        c.sort(in.work.data(), c.n);
    }
    long faults = 0;
    const double frequency = static_cast<double>(c.clock.frequency());
    while (state.KeepRunningBatch(static_cast<benchmark::IterationCount>(in.copies))) {
        const batch_timing t = time_batch(in, c.sort, c.cold, c.clock);
        faults += t.faults;
        state.SetIterationTime(static_cast<double>(t.ticks) / frequency);
        if (!batch_sorted(in)) {
            std::fprintf(stderr, "WRONG RESULT: %s did not sort its input\n", c.name.c_str());
            ++wrong;
            state.SkipWithError("wrong result: not ordered, or not a permutation of the input");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(c.n));
    state.counters["faults_per_call"] =
        benchmark::Counter(static_cast<double>(faults), benchmark::Counter::kAvgIterations);
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

}  // namespace

std::uint32_t size_cap(const contender& c, const pattern_info& p)
{
    return (c.traits & p.quadratic_for) != 0 ? quadratic_cap : UINT32_MAX;
}

template <class T>
benchmark::internal::Benchmark* register_sort_case(const sort_case<T>& c)
{
    return with_statistics(benchmark::RegisterBenchmark(c.name.c_str(), sort_benchmark<T>, c));
}

template benchmark::internal::Benchmark* register_sort_case(const sort_case<std::int32_t>&);

std::string benchmark_name(const std::string& contender, std::string_view pattern, std::uint32_t n,
                           std::string_view type, bool cold, unsigned threads)
{
    std::string name = contender + "/" + std::string(pattern) + "/" + std::to_string(n);
    if (type != element_traits<std::int32_t>::name) name += "/" + std::string(type);
    if (threads != 0) name += "/threads:" + std::to_string(threads);
    if (cold) name += "/cold";
    return name;
}

bool in_default_parallel_run(std::string_view type, pattern p, std::uint32_t n, bool cold)
{
    return type == element_traits<std::int32_t>::name && (p == pattern::random || p == pattern::few_distinct) &&
           n >= 10000 && !cold;
}

std::optional<unsigned> parse_thread_limit(std::string_view text)
{
    unsigned value = 0;
    if (text.empty() || text.size() > 5) return std::nullopt;
    for (const char ch : text) {
        if (ch < '0' || ch > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(ch - '0');
    }
    if (value < 1 || value > 65536) return std::nullopt;
    return value;
}

bool in_default_run(std::string_view type, pattern p, std::uint32_t n, bool cold)
{
    if (type == element_traits<std::int32_t>::name) return true;
    const bool telling = p == pattern::random || p == pattern::ascending || p == pattern::descending ||
                         p == pattern::few_distinct || p == pattern::zipf;
    return !cold && telling && (n == 100 || n == 10000 || n == 1000000);
}

void register_suite(const std::vector<contender>& all, bool full_grid, unsigned max_threads)
{
    std::string contender_ids;
    for (const contender& c : all) {
        if (!contender_ids.empty()) contender_ids += ',';
        contender_ids += c.id;
    }
    std::string pattern_names;
    for (const pattern_info& p : all_patterns) {
        if (!pattern_names.empty()) pattern_names += ',';
        pattern_names += p.name;
    }
    benchmark::AddCustomContext("contenders", contender_ids);
    benchmark::AddCustomContext("patterns", pattern_names);

    std::string type_names;
    for_each_type([&]<class T>(T) {
        type_names += (type_names.empty() ? "" : ",") + std::string(element_traits<T>::name);
    });
    benchmark::AddCustomContext("types", type_names);

    // Type outer, so that int32's benchmarks come first and in their old order.
    for_each_type([&]<class T>(T) {
        const std::string_view type = element_traits<T>::name;
        for (const contender& c : all) {
            sort_fn<T>* sort = c.of<T>().sort;
            if (sort == nullptr) continue;
            const std::vector<unsigned> threads =
                c.use_threads != nullptr ? thread_counts(max_threads) : std::vector<unsigned>{0};
            for (const pattern_info& p : all_patterns) {
                for (const std::uint32_t n : suite_sizes) {
                    for (const bool cold : {false, true}) {
                        const bool wanted = c.use_threads != nullptr ? in_default_parallel_run(type, p.p, n, cold)
                                                                     : in_default_run(type, p.p, n, cold);
                        if (!full_grid && !wanted) continue;
                        for (const unsigned k : threads) {
                            const std::string name = benchmark_name(c.id, p.name, n, type, cold, k);
                            const std::uint32_t cap = size_cap(c, p);
                            if (n > cap) {
                                with_statistics(benchmark::RegisterBenchmark(name.c_str(), skipped_benchmark, cap));
                            } else {
                                register_sort_case<T>({name, sort, p.p, n, cold, monotonic_ticks, k, c.use_threads});
                            }
                        }
                    }
                }
            }
        }
    });
}

std::size_t wrong_results()
{
    return wrong;
}
