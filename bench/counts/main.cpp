// sortbench-counts: the comparisons and element moves of one sort call, for
// every contender that compares elements, on every type, pattern and size of
// the companion suite's run. Counts come from the contenders' own code and are
// the same on every machine and every run.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/counts/counts.hpp"
#include "bench/engine/cli.hpp"
#include "bench/engine/json.hpp"
#include "bench/engine/bench_run.hpp"
#include "bench/robustness/robustness.hpp"

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
    {"write", "PATTERN", "write a pattern's arrays to standard output, as --input reads them back", false,
     pattern_names},
    {"write_type", "TYPE", "their element type (default int32)", false, type_names},
    {"write_size", "N", "their size"},
    {"write_arrays", "K", "how many (default: as many as a batch of the suite holds)"},
    {"help", "", "this list"},
};

constexpr program_spec program{"sortbench-counts", "usage: sortbench-counts [flags]", flags};

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

int counts_main(const command_line& line)
{
    const parsed_flags& given = line.flags();
    const std::string format = given.value("format").value_or("console");
    if (format != "console" && format != "json") throw flag_error("--format takes console or json, not '" + format + "'");
    const bool as_json = format == "json";
    const auto wanted = line.filter();
    if (line.help()) {
        std::fputs(line.help_text().c_str(), stdout);
        return line.finish(stdout);
    }
    if (given.value("write")) {
        write_arrays(given);
        return line.finish(stdout);
    }
    std::unique_ptr<user_data> data = line.input();
    if (given.boolean("profile") && !data) throw flag_error("--profile needs --input=FILE");
    const bench_run run(given.values("contender"), std::move(data));
    if (given.boolean("profile")) {
        write_profile(stdout, *run.data(), profile(*run.data()), as_json);
    } else if (given.boolean("robustness")) {
        write_robustness(stdout, robustness(run.contenders(), {}), as_json);
    } else if (given.boolean("adversary")) {
        print_adversary(run.contenders(), as_json);
    } else if (given.boolean("patterns")) {
        write_pattern_measures(stdout, pattern_probe_size, as_json);
    } else if (given.boolean("stability")) {
        print_stability(run.contenders());
    } else {
        grid_options grid;
        grid.full_grid = given.boolean("full_grid");
        grid.data = run.data();
        const auto records = count_all(run.contenders(), grid, wanted);
        if (records.empty()) return line.refuse("the filter matches nothing");
        write_counts(stdout, records, as_json);
    }
    return line.finish(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    return run_program(program.name, [&] {
        return counts_main(command_line(program, std::vector<std::string>(argv + 1, argv + argc)));
    });
}
