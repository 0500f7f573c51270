// sortbench-patterns: the routines of the registry beside the standard
// library and the state of the art, on input patterns, element types and the
// benchmark's fourteen sizes, on Google Benchmark. Names read
// routine/pattern/size[/type] for arrays that sit in the cache (warm) and
// routine/pattern/size[/type]/cold for arrays that come from memory; int32
// has no type in its names.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/context.hpp"
#include "bench/noise.hpp"
#include "bench/plugin.hpp"
#include "bench/suite.hpp"

namespace {

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

// Removes every --name and --name=value from the arguments and returns their
// values in order ("" for a bare --name): the suite's own flags, which
// Google Benchmark would reject.
std::vector<std::string> take_flag(std::vector<char*>& args, const std::string& name)
{
    std::vector<std::string> values;
    const std::string bare = "--" + name;
    std::erase_if(args, [&](const char* a) {
        if (bare == a) {
            values.emplace_back();
            return true;
        }
        if (std::strncmp(a, (bare + "=").c_str(), bare.size() + 1) == 0) {
            values.emplace_back(a + bare.size() + 1);
            return true;
        }
        return false;
    });
    return values;
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

    // --full_grid: every element type on every pattern, size and cache state,
    // not only int32's.
    const std::vector<std::string> full = take_flag(args, "full_grid");
    const bool full_grid = !full.empty() && (full.back().empty() || full.back() == "true");
    if (!full.empty() && !full_grid && full.back() != "false") {
        std::fprintf(stderr, "sortbench-patterns: --full_grid takes true or false, not '%s'\n", full.back().c_str());
        return 1;
    }
    // --max_threads=N (or SORTBENCH_MAX_THREADS): the parallel sorts run at
    // 1, 2, 4, ... threads up to N, by default the machine's hardware threads.
    unsigned max_threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::string> limits = take_flag(args, "max_threads");
    if (limits.empty() && std::getenv("SORTBENCH_MAX_THREADS") != nullptr) {
        limits.emplace_back(std::getenv("SORTBENCH_MAX_THREADS"));
    }
    if (!limits.empty()) {
        const std::optional<unsigned> limit = parse_thread_limit(limits.back());
        if (!limit) {
            std::fprintf(stderr, "sortbench-patterns: --max_threads must be a whole number from 1 to 65536, not '%s'\n",
                         limits.back().c_str());
            return 1;
        }
        max_threads = *limit;
    }
    // --contender=PATH, repeatable: a shared library joins the contenders.
    std::vector<contender> all;
    try {
        all = contenders_with(take_flag(args, "contender"));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sortbench-patterns: %s\n", e.what());
        return 1;
    }

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
    register_suite(all, full_grid, max_threads);

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
    return wrong_results() > 0 || ran == 0 || lost ? 1 : 0;
}
