// sortbench-counts: the comparisons and element moves of one sort call, for
// every contender that compares elements, on every type, pattern and size of
// the companion suite's run. Counts come from the contenders' own code and are
// the same on every machine and every run.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <regex>
#include <string>
#include <vector>

#include "bench/counts/counts.hpp"
#include "bench/engine/flags.hpp"
#include "bench/engine/json.hpp"
#include "bench/engine/input_flags.hpp"
#include "bench/robustness/robustness.hpp"
#include "bench/engine/session.hpp"

namespace {

constexpr std::uint32_t pattern_probe_size = 10000;

constexpr flag_spec flags[] = {
    {"format", "console|json", "a table (the default), or a JSON list"},
    {"filter", "REGEX", "only the cases whose name contender/pattern/size[/type] it matches"},
    {"full_grid", "", "every element type on every pattern and size, not only int32's"},
    {"contender", "[NAME=]PATH", "a contender library (include/sortbench/contender.h), named NAME if given; repeatable", true},
    {"patterns", "", "the disorder measures of each pattern at 10,000 elements, instead of counts"},
    {"stability", "", "which contenders keep equal keys in their input order, instead of counts"},
    {"profile", "", "the disorder measures of --input's data and the built-in pattern nearest to it"},
    {"robustness", "", "what each contender does when its comparison is not a strict weak order"},
    {"adversary", "", "each contender's comparisons against McIlroy's adversary at 10,000 elements"},
    {"write", "PATTERN", "write a pattern's arrays to standard output, as --input reads them back"},
    {"write_type", "TYPE", "their element type (default int32)"},
    {"write_size", "N", "their size"},
    {"write_arrays", "K", "how many (default: as many as a batch of the suite holds)"},
    {"help", "", "this list"},
};

// Writes the arrays --write asks for: binary records, lines for strings.
void write_arrays(const parsed_flags& given)
{
    const std::string name = *given.value("write");
    const auto p = std::find_if(all_patterns.begin(), all_patterns.end(),
                                [&](const pattern_info& x) { return x.name == name; });
    if (p == all_patterns.end()) throw flag_error("--write: no pattern '" + name + "'");
    const auto n = whole_number(given.value("write_size").value_or(""), 1, 999999999);
    if (!n) throw flag_error("--write needs --write_size=N, a whole number from 1 to 999999999");
    const std::string type = given.value("write_type").value_or("int32");
    bool known = false;
    for_each_type([&]<class T>(T) {
        if (element_traits<T>::name != type) return;
        known = true;
        std::size_t arrays = std::max<std::size_t>(1, batch_bytes / sizeof(T) / *n);
        if (const auto k = given.value("write_arrays")) {
            const auto parsed = whole_number(*k, 1, 999999999);
            if (!parsed) throw flag_error("--write_arrays must be a whole number of at least 1, not '" + *k + "'");
            arrays = *parsed;
        }
        write_pattern<T>(stdout, p->p, *n, arrays);
    });
    if (!known) throw flag_error("--write_type: no element type '" + type + "'");
}

constexpr std::uint32_t adversary_size = 10000;

void print_adversary(const std::vector<contender>& all, bool as_json)
{
    std::vector<std::pair<std::string, std::uint64_t>> rows;
    for (const contender& c : all) {
        const count_ref<std::int32_t>& count = c.of<std::int32_t>().count;
        if (!count || c.parallel()) continue;
        rows.emplace_back(c.id, adversary_comparisons(count, adversary_size));
    }
    const double n_log_n = adversary_size * std::log2(adversary_size);
    if (as_json) {
        auto list = json::array();
        for (const auto& [id, comparisons] : rows) {
            // A contender that samples at random compares afresh in every call.
            list.push_back({{"contender", id},
                            {"size", adversary_size},
                            {"comparisons", comparisons != not_counted ? json(comparisons) : json(nullptr)}});
        }
        write_json(stdout, list);
        return;
    }
    std::printf("%-17s %8s %14s %12s\n", "contender", "size", "comparisons", "cmp/nlog2n");
    for (const auto& [id, comparisons] : rows) {
        if (comparisons != not_counted) {
            std::printf("%-17s %8u %14llu %12.3f\n", id.c_str(), adversary_size,
                        static_cast<unsigned long long>(comparisons), static_cast<double>(comparisons) / n_log_n);
        } else {
            std::printf("%-17s %8u %14s %12s\n", id.c_str(), adversary_size, "n/a", "n/a");
        }
    }
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
    bool as_json = false;
    std::optional<parsed_flags> given, input;
    std::unique_ptr<user_data> data;
    try {
        given.emplace(std::vector<std::string>(argv + 1, argv + argc), flags);
        input.emplace(given->rest(), input_flags);
        if (!input->rest().empty()) throw flag_error("unknown argument: " + input->rest().front());
        const std::string format = given->value("format").value_or("console");
        if (format != "console" && format != "json") {
            throw flag_error("--format takes console or json, not '" + format + "'");
        }
        as_json = format == "json";
        if (const auto text = given->value("filter")) {
            try {
                filter.emplace(*text);
            } catch (const std::regex_error&) {
                throw flag_error("--filter: not a regular expression: " + *text);
            }
        }
        if (given->boolean("help")) {
            std::printf("usage: sortbench-counts [flags]\n\n%s%s", flags_help(flags).c_str(),
                        flags_help(input_flags).c_str());
            return 0;
        }
        if (given->value("write")) {
            write_arrays(*given);
            return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : refuse("sortbench-counts", "write error");
        }
        data = read_input(*input);
        if (given->boolean("profile") && !data) throw flag_error("--profile needs --input=FILE");
    } catch (const std::runtime_error& e) {  // flag_error, input_error
        return refuse("sortbench-counts", e.what());
    }
    try {
        const session run(given->values("contender"), std::move(data));
        if (given->boolean("profile")) {
            write_profile(stdout, *run.data(), profile(*run.data()), as_json);
        } else if (given->boolean("robustness")) {
            write_robustness(stdout, robustness(run.contenders(), {}), as_json);
        } else if (given->boolean("adversary")) {
            print_adversary(run.contenders(), as_json);
        } else if (given->boolean("patterns")) {
            write_pattern_measures(stdout, pattern_probe_size, as_json);
        } else if (given->boolean("stability")) {
            print_stability(run.contenders());
        } else {
            const auto records = count_all(run.contenders(), {given->boolean("full_grid"), 1, run.data()}, [&](const std::string& name) {
                return !filter || std::regex_search(name, *filter);
            });
            if (records.empty()) return refuse("sortbench-counts", "the filter matches nothing");
            write_counts(stdout, records, as_json);
        }
    } catch (const std::exception& e) {
        return refuse("sortbench-counts", e.what());
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "sortbench-counts: write error: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
