// sortbench-counts: the comparisons and element moves of one sort call, for
// every contender that compares elements, on every type, pattern and size of
// the companion suite's run. Counts come from the contenders' own code and are
// the same on every machine and every run.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <regex>
#include <string>
#include <vector>

#include "bench/counts.hpp"
#include "bench/flags.hpp"
#include "bench/run.hpp"

namespace {

constexpr std::uint32_t pattern_probe_size = 10000;

constexpr flag_spec flags[] = {
    {"format", "console|json", "a table (the default), or a JSON list"},
    {"filter", "REGEX", "only the cases whose name contender/pattern/size[/type] it matches"},
    {"full_grid", "", "every element type on every pattern and size, not only int32's"},
    {"contender", "[NAME=]PATH", "a contender library (include/sortbench/contender.h), named NAME if given; repeatable", true},
    {"patterns", "", "the disorder measures of each pattern at 10,000 elements, instead of counts"},
    {"stability", "", "which contenders keep equal keys in their input order, instead of counts"},
    {"help", "", "this list"},
};

int usage_error(const std::string& why)
{
    std::fprintf(stderr, "sortbench-counts: %s\n", why.c_str());
    return 1;
}

void print_stability(const std::vector<contender>& all)
{
    std::printf("%-21s %s\n", "contender", "equal keys (kv16, payload = input position)");
    for (const contender& c : all) {
        if (!c.of<kv16>().sort) {
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
    std::optional<std::regex> filter;
    bool json = false;
    std::optional<parsed_flags> given;
    try {
        given.emplace(std::vector<std::string>(argv + 1, argv + argc), flags);
        if (!given->rest().empty()) throw flag_error("unknown argument: " + given->rest().front());
        const std::string format = given->value("format").value_or("console");
        if (format != "console" && format != "json") {
            throw flag_error("--format takes console or json, not '" + format + "'");
        }
        json = format == "json";
        if (const auto text = given->value("filter")) {
            try {
                filter.emplace(*text);
            } catch (const std::regex_error&) {
                throw flag_error("--filter: not a regular expression: " + *text);
            }
        }
    } catch (const flag_error& e) {
        return usage_error(e.what());
    }
    if (given->boolean("help")) {
        std::printf("usage: sortbench-counts [flags]\n\n%s", flags_help(flags).c_str());
        return 0;
    }
    try {
        const suite_run run(given->values("contender"));
        if (given->boolean("patterns")) {
            write_pattern_measures(stdout, pattern_probe_size, json);
        } else if (given->boolean("stability")) {
            print_stability(run.contenders());
        } else {
            const auto records = count_all(run.contenders(), given->boolean("full_grid"), [&](const std::string& name) {
                return !filter || std::regex_search(name, *filter);
            });
            if (records.empty()) return usage_error("the filter matches nothing");
            write_counts(stdout, records, json);
        }
    } catch (const std::exception& e) {
        return usage_error(e.what());
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "sortbench-counts: write error: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
