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
#include <optional>
#include <string>
#include <vector>

#include "bench/engine/context.hpp"
#include "bench/engine/cli.hpp"
#include "bench/suite/noise.hpp"
#include "bench/suite/suite.hpp"

namespace {

constexpr flag_spec own_flags[] = {
    {"contender", "[NAME=]PATH", "a contender library (include/sortbench/contender.h), named NAME if given; repeatable", true},
    {"full_grid", "", "every element type on every pattern, size and cache state, not only int32's"},
    {"huge", "", "also 100,000,000 elements (random and ascending int32 and int64), if the memory is there"},
    {"threads", "N",
     "the parallel sorts run at 1, 2, 4, ... up to N threads (default: SORTBENCH_MAX_THREADS, else the hardware's)"},
    {"max_threads", "N", "the same as --threads, its older spelling"},
    {"help", "", "this list, then Google Benchmark's flags"},
};

constexpr program_spec program{"sortbench-patterns", "usage: sortbench-patterns [flags]", own_flags};

// Google Benchmark's flags that the suite reads as well; they stay in the
// arguments for Google Benchmark.
constexpr flag_spec peeked_flags[] = {
    {"benchmark_repetitions", "N", ""},
    {"benchmark_format", "FORMAT", ""},
    {"benchmark_out", "FILE", ""},
    {"benchmark_out_format", "FORMAT", ""},
};

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
    std::vector<std::string> args{"--benchmark_min_time=0.01", "--benchmark_repetitions=3",
                                  "--benchmark_enable_random_interleaving=true",
                                  "--benchmark_display_aggregates_only=true"};
    args.insert(args.end(), argv + 1, argv + argc);

    grid_options grid;
    std::vector<std::string> libraries;
    std::vector<std::string> rest;
    std::string repetitions, format, out_file, out_format;
    std::unique_ptr<user_data> data;
    std::optional<command_line> parsed;
    try {
        // Every flag the suite does not know goes on to Google Benchmark.
        const command_line& line = parsed.emplace(program, args, true);
        if (line.help()) {
            std::printf("usage: sortbench-patterns [flags]\n\nThe suite's flags:\n%s%s\nGoogle Benchmark's flags:\n",
                        flags_help(own_flags).c_str(), flags_help(input_flags).c_str());
            std::fflush(stdout);
            rest = {"--help"};
        } else {
            rest = line.rest();
            data = line.input();
        }
        grid.full_grid = line.flags().boolean("full_grid");
        grid.huge = line.flags().boolean("huge");
        if (grid.huge) {
            if (const std::string why = huge_run_refusal(available_memory()); !why.empty()) throw flag_error(why);
        }
        grid.max_threads = line.thread_limit();
        libraries = line.flags().values("contender");

        const parsed_flags peeked(rest, peeked_flags);
        repetitions = peeked.value("benchmark_repetitions").value_or("3");
        if (!whole_number(repetitions, 1, 1000000000)) {
            throw flag_error("--benchmark_repetitions must be a whole number of at least 1, not '" + repetitions + "'");
        }
        format = peeked.value("benchmark_format").value_or("console");
        out_file = peeked.value("benchmark_out").value_or("");
        out_format = peeked.value("benchmark_out_format").value_or("json");
    } catch (const std::runtime_error& e) {  // flag_error, input_error
        return refuse(program.name, e.what());
    }

    std::vector<char*> gb_args{argv[0]};
    for (std::string& a : rest) gb_args.push_back(a.data());
    int arg_count = static_cast<int>(gb_args.size());
    benchmark::Initialize(&arg_count, gb_args.data());
    if (benchmark::ReportUnrecognizedArguments(arg_count, gb_args.data())) {
        return 1;
    }

    std::unique_ptr<bench_run> run;
    try {
        run = std::make_unique<bench_run>(libraries, std::move(data));
    } catch (const std::exception& e) {
        return refuse(program.name, e.what());
    }
    for (const auto& [key, value] : environment_context()) {
        benchmark::AddCustomContext(key, value);
    }
    benchmark::AddCustomContext("noisy_cv", std::to_string(noisy_cv));
    grid.data = run->data();
    register_suite(*run, grid);

    const char* term = std::getenv("TERM");
    const bool colour = isatty(STDOUT_FILENO) && term != nullptr && std::strcmp(term, "dumb") != 0;
    const auto display = make_reporter(format, colour);
    std::unique_ptr<benchmark::BenchmarkReporter> file;
    if (!out_file.empty()) {
        file = make_reporter(out_format, false);
    }
    const std::size_t ran = benchmark::RunSpecifiedBenchmarks(display.get(), file.get());
    benchmark::Shutdown();

    // Google Benchmark writes through std::cout, the suite through stdout.
    std::cout.flush();
    const bool lost = !std::cout ? parsed->refuse("write error: standard output") != 0 : parsed->finish(stdout) != 0;
    // A filter that matches nothing is a mistake, not an empty success.
    return run->wrong_results() > 0 || ran == 0 || lost ? 1 : 0;
}
