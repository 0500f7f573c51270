// sortbench-patterns: the routines of the registry beside the standard
// library and the state of the art, on input patterns and the benchmark's
// fourteen sizes, on Google Benchmark. Names read routine/pattern/size for
// arrays that sit in the cache (warm) and routine/pattern/size/cold for
// arrays that come from memory.
//
// Every call sorts fresh input. Copying the input back would cost as much as
// sorting an ascending array, and PauseTiming per call costs more than a small
// sort, so the copies are made outside a manually timed window: each batch
// copies `copies` pre-made arrays, times sorting them all with one pair of
// clock reads, and reports one iteration per call. After the clock, every
// array is compared with std::sort of its input.
#include <benchmark/benchmark.h>
#include <emmintrin.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "bench/contenders.hpp"
#include "bench/context.hpp"
#include "bench/noise.hpp"
#include "bench/patterns.hpp"
#include "harness/tables.hpp"

namespace {

// Largest size run for a quadratic case. Every split of a run of equal values
// peels off one element, so all-equal input costs ~n^2/2 steps, 8 distinct
// values ~n^2/16, and the killer ~n^2/2 too. At 10,000 elements one call
// takes up to about a quarter of a second here; at 100,000 up to minutes.
constexpr std::uint32_t quadratic_cap = 10000;

std::uint32_t size_cap(const contender& c, const pattern_info& p)
{
    return (c.traits & p.quadratic_for) != 0 ? quadratic_cap : UINT32_MAX;
}

// A batch holds about this many elements (256 KiB), so that small arrays are
// sorted many to a clock read and a warm batch stays in the L2 cache.
constexpr std::size_t batch_elements = 1 << 16;

// The pre-made arrays of one pattern and size, and their sorted forms. Made
// once and shared by every contender, cache state and repetition.
struct prepared {
    std::size_t copies = 0;
    std::vector<std::int32_t> input;
    std::vector<std::int32_t> expected;
    // Where the batches are sorted: the same memory for every repetition, so
    // that an array's address, and with it its alignment against the cache
    // and the pages, does not change between the repetitions of a benchmark.
    std::vector<std::int32_t> work;
};

prepared& inputs(pattern p, std::uint32_t n)
{
    static std::map<std::pair<pattern, std::uint32_t>, std::unique_ptr<prepared>> made;
    std::unique_ptr<prepared>& slot = made[{p, n}];
    if (!slot) {
        slot = std::make_unique<prepared>();
        slot->copies = std::max<std::size_t>(1, batch_elements / n);
        slot->input.resize(slot->copies * n);
        for (std::size_t k = 0; k < slot->copies; ++k) {
            fill_pattern(p, std::span(slot->input).subspan(k * n, n), static_cast<std::uint32_t>(k + 1));
        }
        slot->expected = slot->input;
        slot->work = slot->input;
        for (std::size_t k = 0; k < slot->copies; ++k) {
            std::sort(slot->expected.begin() + k * n, slot->expected.begin() + (k + 1) * n);
        }
    }
    return *slot;
}

// Copies a batch so that none of it stays in any cache: non-temporal stores
// write around the caches (and invalidate a line that was cached), so each
// call's array then comes from memory, as the arrays of sortbench's 40 MB
// buffer do on a machine whose last-level cache is smaller than that. This
// costs no more than the plain copy; flushing the copied batch line by line
// afterwards cost as much as sorting it, and making a region far larger than
// a last-level cache of hundreds of megabytes cold again for every batch
// would cost a tenth of a second.
void copy_cold(std::span<const std::int32_t> from, std::span<std::int32_t> to)
{
    std::size_t i = 0;
    auto* const out = to.data();
    while (i < from.size() && reinterpret_cast<std::uintptr_t>(out + i) % 16 != 0) {
        out[i] = from[i];
        ++i;
    }
    const std::size_t head = i;
    for (; i + 4 <= from.size(); i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from.data() + i));
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + i), v);
    }
    for (std::size_t j = i; j < from.size(); ++j) {
        out[j] = from[j];
    }
    // The few elements written normally share their lines with streamed ones.
    if (head > 0) _mm_clflush(out);
    if (i < from.size()) _mm_clflush(out + i);
    _mm_mfence();
}

long minor_faults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

bool any_wrong = false;

void sort_benchmark(benchmark::State& state, const std::string& name, const contender& c, pattern p,
                    std::uint32_t n, bool cold)
{
    prepared& in = inputs(p, n);
    std::vector<std::int32_t>& work = in.work;
    // An untimed warm-up call, once per benchmark: a routine that allocates
    // (glibc's qsort mallocs a buffer as large as the array from 256 elements
    // on) touches its fresh pages here, and with the allocator pinned in
    // main() the timed calls then reuse them, whatever ran before in this
    // process. Repetitions skip it: at 1,000,000 elements it costs as much as
    // the measurement. (A whole untimed batch in every repetition did not
    // narrow the spread between interleaved repetitions measurably here.)
    static std::set<std::string> warmed;
    if (warmed.insert(name).second) {
        std::copy_n(in.input.begin(), n, work.begin());
        c.routine(work.data(), n);
    }
    long faults = 0;
    while (state.KeepRunningBatch(static_cast<benchmark::IterationCount>(in.copies))) {
        if (cold) {
            copy_cold(in.input, work);
        } else {
            std::copy(in.input.begin(), in.input.end(), work.begin());
        }
        const long faults_before = minor_faults();
        const auto t0 = std::chrono::steady_clock::now();
        for (std::size_t k = 0; k < in.copies; ++k) {
            c.routine(work.data() + k * n, n);
        }
        const auto t1 = std::chrono::steady_clock::now();
        faults += minor_faults() - faults_before;
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        if (work != in.expected) {
            std::fprintf(stderr, "WRONG RESULT: %s did not sort like std::sort\n", name.c_str());
            any_wrong = true;
            state.SkipWithError("wrong result: not sorted like std::sort");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
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

// The value of the last --name=value among the arguments, or `fallback`.
std::string flag_value(const std::vector<char*>& args, const std::string& name, const std::string& fallback)
{
    std::string value = fallback;
    const std::string prefix = "--" + name + "=";
    for (const char* a : args) {
        if (std::strncmp(a, prefix.c_str(), prefix.size()) == 0) {
            value = a + prefix.size();
        }
    }
    return value;
}

// A reporter for the console or JSON format that flags noisy figures; null
// for any other format, which Google Benchmark then handles (or rejects) alone.
std::unique_ptr<benchmark::BenchmarkReporter> make_reporter(const std::string& format, bool console_colour)
{
    if (format == "json") {
        return std::make_unique<flagging_reporter<benchmark::JSONReporter>>();
    }
    if (format == "console") {
        return std::make_unique<flagging_reporter<benchmark::ConsoleReporter>>(
            console_colour ? benchmark::ConsoleReporter::OO_Color : benchmark::ConsoleReporter::OO_None);
    }
    return nullptr;
}

// Registers every benchmark and names the contenders and patterns, in their
// order, in the context, so that tables and charts keep that order.
void register_benchmarks()
{
    const std::vector<contender> all = contenders();
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

    for (const contender& c : all) {
        for (const pattern_info& p : all_patterns) {
            for (const test_case& tc : test_cases) {
                const auto n = static_cast<std::uint32_t>(tc.num);
                for (const bool cold : {false, true}) {
                    const std::string name = c.id + "/" + std::string(p.name) + "/" + std::to_string(n) +
                                             (cold ? "/cold" : "");
                    const std::uint32_t cap = size_cap(c, p);
                    benchmark::internal::Benchmark* b =
                        n > cap ? benchmark::RegisterBenchmark(name.c_str(), skipped_benchmark, cap)
                                : benchmark::RegisterBenchmark(name.c_str(), sort_benchmark, name, c, p.p, n, cold);
                    b->UseManualTime();
                    b->ComputeStatistics("min", [](const std::vector<double>& v) {
                        return *std::min_element(v.begin(), v.end());
                    });
                }
            }
        }
    }
}

// glibc's malloc moves its mmap threshold up when a mapped block is freed and
// gives memory back to the kernel when the heap's top passes a threshold.
// Whether a routine's allocation then costs fresh page faults on every call
// depends on what the process allocated and freed before, so the figures of
// allocating routines depended on the order of the benchmarks. Pinned, every
// block up to 32 MiB (glibc's largest threshold) comes from the heap and
// stays there, and after one call an allocating routine reuses touched
// memory: its steady state.
void pin_allocator()
{
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

}  // namespace

int main(int argc, char** argv)
{
    pin_allocator();
    // Defaults that make every figure a median of repetitions run in random
    // order, so that a burst of load hits some repetitions of many benchmarks
    // rather than all of one. Arguments given on the command line come later
    // and win. The minimum time per repetition is short because a full run
    // holds thousands of benchmarks; see docs/ for how it was chosen.
    std::vector<char*> args{argv[0],
                            const_cast<char*>("--benchmark_min_time=0.01"),
                            const_cast<char*>("--benchmark_repetitions=3"),
                            const_cast<char*>("--benchmark_enable_random_interleaving=true"),
                            const_cast<char*>("--benchmark_display_aggregates_only=true")};
    args.insert(args.end(), argv + 1, argv + argc);

    const std::string repetitions = flag_value(args, "benchmark_repetitions", "3");
    char* end = nullptr;
    const long count = std::strtol(repetitions.c_str(), &end, 10);
    if (end == repetitions.c_str() || *end != '\0' || count < 1) {
        std::fprintf(stderr, "sortbench-patterns: --benchmark_repetitions must be a whole number of at least 1, not '%s'\n",
                     repetitions.c_str());
        return 1;
    }

    // Read before Initialize, which takes the flags it knows out of the list.
    const std::string format = flag_value(args, "benchmark_format", "console");
    const std::string out_file = flag_value(args, "benchmark_out", "");
    const std::string out_format = flag_value(args, "benchmark_out_format", "json");

    int arg_count = static_cast<int>(args.size());
    benchmark::Initialize(&arg_count, args.data());
    if (benchmark::ReportUnrecognizedArguments(arg_count, args.data())) {
        return 1;
    }
    for (const auto& [key, value] : environment_context()) {
        benchmark::AddCustomContext(key, value);
    }
    register_benchmarks();

    const char* term = std::getenv("TERM");
    const bool colour = isatty(STDOUT_FILENO) && term != nullptr && std::strcmp(term, "dumb") != 0;
    const auto display = make_reporter(format, colour);
    std::unique_ptr<benchmark::BenchmarkReporter> file;
    if (!out_file.empty()) {
        file = make_reporter(out_format, false);
    }
    const std::size_t ran = benchmark::RunSpecifiedBenchmarks(display.get(), file.get());
    benchmark::Shutdown();

    // Output that did not reach its destination is a failure too.
    std::cout.flush();
    const bool lost = !std::cout || std::fflush(stdout) != 0 || std::ferror(stdout);
    if (lost) {
        std::fprintf(stderr, "sortbench-patterns: write error: %s\n", std::strerror(errno));
    }
    // A filter that matches nothing is a mistake, not an empty success.
    return any_wrong || ran == 0 || lost ? 1 : 0;
}
