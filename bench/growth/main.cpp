// sortbench-growth: how a sort's comparisons and moves grow with n on each
// pattern, whether its published claims of growth hold, and the input that
// makes it compare most.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/engine/adversary.hpp"
#include "bench/engine/bench_run.hpp"
#include "bench/engine/cli.hpp"
#include "bench/engine/json.hpp"
#include "bench/growth/claims.hpp"

namespace {

constexpr flag_spec flags[] = {
    {"format", "console|json", "a table (the default), or JSON"},
    {"filter", "REGEX", "only the contenders (--growth: contender/pattern) whose name it matches"},
    {"contender", "[NAME=]PATH", "a contender library (include/sortbench/contender.h), named NAME if given; repeatable", true},
    {"growth", "", "how comparisons and moves grow on each pattern, 1,000 to 1,000,000: the class each follows (the default)"},
    {"growth_max", "N", "the largest size counted (default 1000000); fitted down to a hundredth of it"},
    {"claims", "", "each contender's published claims of growth, held or broken, with the figures that decide them"},
    {"claim", "LINE", "with --claims: judge this claim (PATTERN: CLASS, worst: CLASS, stable) on every contender --filter names, instead of their own; repeatable", true},
    {"worst", "", "search for the input that makes each contender compare most, and write it as a file to replay"},
    {"worst_size", "N", "the size of the worst-case search (default 10000)"},
    {"worst_budget", "M", "the millions of comparisons the search may count (default 4000: 10 to 15 s at 10,000 elements here)"},
    {"worst_start", "NAME", "start the search from this pattern, or \"adversary\", not the best of all of them"},
    {"seed", "S", "the search's seed (default 1): the same seed finds the same input on every machine"},
    {"worst_dir", "DIR", "where --worst writes its inputs (default .)"},
    {"threads", "N", "threads that count --growth's cases (default: SORTBENCH_MAX_THREADS, else the hardware's)"},
    {"help", "", "this list"},
};

constexpr program_spec program{"sortbench-growth", "usage: sortbench-growth [flags]", flags, false};

// The flags of --growth, --claims and --worst as options.
claims_options growth_flags(const command_line& line)
{
    claims_options o;
    const unsigned top = line.number("growth_max", 1000, 1000000, 1000000);
    std::erase_if(o.growth.sizes, [&](std::uint32_t n) { return n > top; });
    if (o.growth.sizes.empty() || o.growth.sizes.back() != top) o.growth.sizes.push_back(top);
    o.growth.fit_to = top;
    o.growth.fit_from = std::max(1000u, top / 100);
    o.growth.threads = line.thread_limit();
    o.worst.n = line.number("worst_size", 2, 10000000, 10000);
    o.worst.seed = line.number("seed", 0, 4294967295u, 1);
    o.worst.budget = std::uint64_t{1000000} * line.number("worst_budget", 1, 1000000, 4000);
    o.worst.start = line.flags().value("worst_start").value_or("");
    if (!o.worst.start.empty() && o.worst.start != "adversary" && pattern_named(o.worst.start) == nullptr) {
        throw flag_error("--worst_start takes a pattern's name or adversary, not '" + o.worst.start + "'");
    }
    return o;
}

// The worst-case search on every sequential contender that counts its
// comparisons and --filter names.
int print_worst(const command_line& line, const std::vector<const contender*>& chosen, const worst_options& options,
                bool as_json)
{
    const std::string dir = line.flags().value("worst_dir").value_or(".");
    if (!std::filesystem::is_directory(dir)) throw flag_error("--worst_dir: no directory " + dir);
    auto list = json::array();
    if (!as_json) {
        std::printf("%-17s %8s %14s %10s %9s  %-20s %s\n", "contender", "size", "comparisons", "/nlog2n", "/random",
                    "started from", "sorts run");
    }
    for (const contender* c : chosen) {
        const count_ref<std::int32_t>& count = c->of<std::int32_t>().count;
        if (!count) continue;
        const auto start = std::chrono::steady_clock::now();
        const worst_result r = search_worst(count, options);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (r.random_comparisons == not_counted) {
            if (!as_json) std::printf("%-17s %8u %14s\n", c->id.c_str(), options.n, "n/a");
            continue;
        }
        const std::string file = worst_file(dir, c->id, options);
        if (!write_int32_file(file, r.input)) throw flag_error("--worst_dir: cannot write " + file);
        const std::string replay = replay_command(line.flags().values("contender"), file, c->id, options.n);
        const double n_log_n = options.n * std::log2(static_cast<double>(options.n));
        const double over_random = static_cast<double>(r.comparisons) / r.random_comparisons;
        std::fprintf(stderr, "%s: %llu sorts, %.1f s\n", c->id.c_str(), static_cast<unsigned long long>(r.evaluations),
                     took.count());
        if (as_json) {
            list.push_back({{"contender", c->id},
                            {"size", options.n},
                            {"seed", options.seed},
                            {"budget", options.budget},
                            {"comparisons", r.comparisons},
                            {"comparisons_over_n_log2_n", rounded(r.comparisons / n_log_n, 4)},
                            {"random_comparisons", r.random_comparisons},
                            {"over_random", rounded(over_random, 4)},
                            {"start", r.start},
                            {"start_comparisons", r.start_comparisons},
                            {"sorts_run", r.evaluations},
                            {"improvements", r.improvements},
                            {"file", file},
                            {"replay", replay}});
        } else {
            std::printf("%-17s %8u %14llu %10.3f %9.3f  %-20s %llu\n", c->id.c_str(), options.n,
                        static_cast<unsigned long long>(r.comparisons), r.comparisons / n_log_n, over_random,
                        (r.start + " " + std::to_string(r.start_comparisons)).c_str(),
                        static_cast<unsigned long long>(r.evaluations));
            std::printf("  replay: %s\n", replay.c_str());
        }
    }
    if (as_json) write_json(stdout, list);
    else std::printf("seed %llu, %llu million comparisons counted at most per contender\n",
                     static_cast<unsigned long long>(options.seed),
                     static_cast<unsigned long long>(options.budget / 1000000));
    return line.finish(stdout);
}

int growth_main(const command_line& line)
{
    const parsed_flags& given = line.flags();
    const bool as_json = line.as_json();
    const auto wanted = line.filter();
    if (line.help()) return line.show_help();
    const bench_run run(given.values("contender"), nullptr);
    const bool claims = given.boolean("claims") && !given.boolean("growth");
    const bool worst = given.boolean("worst") && !given.boolean("growth") && !claims;
    if (!claims && !worst) {
        const claims_options options = growth_flags(line);
        const auto all = [](const std::string&) { return true; };  // --filter is on contender/pattern here
        const auto rows = measure_growth(sequential_contenders(run.contenders(), all), options.growth, wanted);
        if (rows.empty()) return line.refuse("the filter matches no contender/pattern that counts comparisons");
        write_growth(stdout, rows, options.growth, as_json);
        return line.finish(stdout);
    }
    const std::vector<const contender*> chosen = sequential_contenders(run.contenders(), wanted);
    if (chosen.empty()) return line.refuse("the filter matches no contender");
    if (worst) return print_worst(line, chosen, growth_flags(line).worst, as_json);
    std::vector<claim> tried;
    for (const std::string& text : given.values("claim")) {
        parsed_claims p = parse_claims(text);
        if (!p.unreadable.empty()) throw flag_error("--claim: " + p.unreadable.front());
        tried.insert(tried.end(), p.claims.begin(), p.claims.end());
    }
    const claims_options options = growth_flags(line);
    write_claims(stdout, judge_claims(chosen, tried, options), options.growth, as_json);
    return line.finish(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    return run_program(program.name, [&] {
        return growth_main(command_line(program, std::vector<std::string>(argv + 1, argv + argc)));
    });
}
