// sortbench-counts: the comparisons and element moves of one sort call, for
// every contender that compares elements, on every type, pattern and size of
// the companion suite's run. Counts come from the contenders' own code and are
// the same on every machine and every run.
//
//   sortbench-counts [--format=console|json] [--filter=REGEX] [--full_grid] [--contender=PATH ...]
//   sortbench-counts --patterns [--format=...]     measures of each pattern's disorder
//   sortbench-counts --stability                   which contenders keep equal keys in order
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <regex>
#include <string>
#include <vector>

#include "bench/counts.hpp"
#include "bench/plugin.hpp"
#include "inputs/disorder.hpp"
#include "inputs/patterns.hpp"

namespace {

constexpr std::uint32_t pattern_probe_size = 10000;

int usage(const char* why)
{
    std::fprintf(stderr,
                 "sortbench-counts: %s\n"
                 "usage: sortbench-counts [--format=console|json] [--filter=REGEX] [--full_grid] [--contender=PATH ...]\n"
                 "       sortbench-counts --patterns [--format=console|json]\n"
                 "       sortbench-counts --stability\n",
                 why);
    return 1;
}

// Comparisons per element, and over n log2 n (empty below 2 elements).
std::optional<double> per_element(const count_record& r)
{
    if (!r.comparisons || r.size == 0) return std::nullopt;
    return static_cast<double>(*r.comparisons) / r.size;
}

std::optional<double> per_n_log_n(const count_record& r)
{
    if (!r.comparisons || r.size < 2) return std::nullopt;
    return static_cast<double>(*r.comparisons) / (r.size * std::log2(r.size));
}

std::string json_number(const std::optional<std::uint64_t>& v)
{
    return v ? std::to_string(*v) : "null";
}

std::string json_number(const std::optional<double>& v)
{
    if (!v) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", *v);
    return text;
}

std::string cell(const std::optional<std::uint64_t>& v)
{
    return v ? std::to_string(*v) : "n/a";
}

std::string cell(const std::optional<double>& v)
{
    if (!v) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", *v);
    return text;
}

void print_counts(const std::vector<count_record>& records, bool json)
{
    if (json) {
        std::puts("[");
        for (std::size_t i = 0; i < records.size(); ++i) {
            const count_record& r = records[i];
            std::printf("  {\"contender\": \"%s\", \"type\": \"%s\", \"pattern\": \"%s\", \"size\": %u, "
                        "\"comparisons\": %s, \"moves\": %s, \"comparisons_per_element\": %s, "
                        "\"comparisons_per_n_log2_n\": %s}%s\n",
                        r.contender.c_str(), r.type.c_str(), r.pattern.c_str(), r.size,
                        json_number(r.comparisons).c_str(), json_number(r.moves).c_str(),
                        json_number(per_element(r)).c_str(), json_number(per_n_log_n(r)).c_str(),
                        i + 1 < records.size() ? "," : "");
        }
        std::puts("]");
        return;
    }
    std::printf("%-16s %-7s %-20s %8s %14s %14s %10s %12s\n", "contender", "type", "pattern", "size", "comparisons",
                "moves", "cmp/elem", "cmp/nlog2n");
    for (const count_record& r : records) {
        std::printf("%-16s %-7s %-20s %8u %14s %14s %10s %12s\n", r.contender.c_str(), r.type.c_str(),
                    r.pattern.c_str(), r.size, cell(r.comparisons).c_str(), cell(r.moves).c_str(),
                    cell(per_element(r)).c_str(), cell(per_n_log_n(r)).c_str());
    }
}

void print_patterns(bool json)
{
    std::vector<std::int32_t> a(pattern_probe_size);
    if (json) std::puts("[");
    else std::printf("%-20s %8s %16s %14s %10s\n", "pattern", "size", "inverted pairs", "ascending runs", "distinct");
    for (std::size_t i = 0; i < all_patterns.size(); ++i) {
        const pattern_info& p = all_patterns[i];
        fill_pattern(p.p, a, 1);
        const disorder d = measure_disorder<std::int32_t>(a);
        if (json) {
            std::printf("  {\"pattern\": \"%s\", \"size\": %u, \"inverted_fraction\": %.6f, \"ascending_runs\": %llu, "
                        "\"distinct\": %llu}%s\n",
                        std::string(p.name).c_str(), pattern_probe_size, d.inverted_fraction,
                        static_cast<unsigned long long>(d.ascending_runs),
                        static_cast<unsigned long long>(d.distinct), i + 1 < all_patterns.size() ? "," : "");
        } else {
            std::printf("%-20s %8u %16.4f %14llu %10llu\n", std::string(p.name).c_str(), pattern_probe_size,
                        d.inverted_fraction, static_cast<unsigned long long>(d.ascending_runs),
                        static_cast<unsigned long long>(d.distinct));
        }
    }
    if (json) std::puts("]");
}

void print_stability(const std::vector<contender>& all)
{
    std::printf("%-21s %s\n", "contender", "equal keys (kv16, payload = input position)");
    for (const contender& c : all) {
        if (c.of<kv16>().sort == nullptr) {
            std::printf("%-21s %s\n", c.id.c_str(), "does not sort kv16");
            continue;
        }
        const std::optional<std::string> where = first_instability(c);
        std::printf("%-21s %s\n", c.id.c_str(), where ? ("unstable (first seen on " + *where + ")").c_str() : "stable");
    }
}

}  // namespace

int main(int argc, char** argv)
{
    bool json = false, full_grid = false, patterns = false, stability = false;
    std::optional<std::regex> filter;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--format=json") json = true;
        else if (a == "--format=console") json = false;
        else if (a == "--full_grid") full_grid = true;
        else if (a == "--patterns") patterns = true;
        else if (a == "--stability") stability = true;
        else if (a.rfind("--contender=", 0) == 0) paths.push_back(a.substr(12));
        else if (a.rfind("--filter=", 0) == 0) {
            try {
                filter.emplace(a.substr(9));
            } catch (const std::regex_error& e) {
                return usage(("not a regular expression: " + a.substr(9)).c_str());
            }
        } else {
            return usage(("unknown argument: " + a).c_str());
        }
    }
    try {
        const std::vector<contender> all = contenders_with(paths);
        if (patterns) {
            print_patterns(json);
        } else if (stability) {
            print_stability(all);
        } else {
            const auto records = count_all(all, full_grid, [&](const std::string& name) {
                return !filter || std::regex_search(name, *filter);
            });
            if (records.empty()) return usage("the filter matches nothing");
            print_counts(records, json);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sortbench-counts: %s\n", e.what());
        return 1;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "sortbench-counts: write error: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
