// sortbench-counts: the comparisons and element moves of one sort call, for
// every contender that compares elements, on every type, pattern and size of
// the companion suite's run. Counts come from the contenders' own code and are
// the same on every machine and every run.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "bench/counts/counts.hpp"
#include "bench/engine/cli.hpp"
#include "bench/engine/json.hpp"
#include "bench/engine/bench_run.hpp"
#include "bench/engine/processes.hpp"
#include "bench/engine/stability.hpp"

namespace {

constexpr std::uint32_t pattern_probe_size = 10000;

constexpr flag_spec flags[] = {
    {"format", "console|json", "a table (the default), or a JSON list"},
    {"filter", "REGEX", "only the cases whose name contender/pattern/size[/type] it matches"},
    {"full_grid", "", "every element type on every pattern and size, not only int32's"},
    {"contender", "[NAME=]PATH", "a contender library (include/sortbench/contender.h), named NAME if given; repeatable", true},
    {"patterns", "", "the disorder measures of each pattern at 10,000 elements, instead of counts"},
    {"stability", "", "which contenders keep equal keys in their input order, instead of counts"},
    {"profile", "", "the disorder of --input's data (of each array, with --input_sizes=N) and the pattern nearest to it"},
    {"write", "PATTERN", "write a pattern's arrays to standard output, as --input reads them back", false,
     pattern_names},
    {"write_type", "TYPE", "their element type (default int32)", false, type_names},
    {"write_size", "N", "their size"},
    {"write_arrays", "K", "how many (default: as many as a batch of the suite holds)"},
    {"threads", "N",
     "a parallel sort's threads in the stability check (default: SORTBENCH_MAX_THREADS, else the hardware's)"},
    {"help", "", "this list"},
};

constexpr program_spec program{"sortbench-counts", "usage: sortbench-counts [flags]", flags};

// Writes the arrays --write asks for: binary records, lines for strings.
void write_arrays(const parsed_flags& given)
{
    const std::string name = *given.value("write");
    const pattern_info* p = pattern_named(name);
    if (p == nullptr) throw flag_error("--write: no pattern '" + name + "'");
    const auto n = whole_number(given.value("write_size").value_or(""), 1, 999999999);
    if (!n) throw flag_error("--write needs --write_size=N, a whole number from 1 to 999999999");
    const std::string type = given.value("write_type").value_or("int32");
    const bool known = visit_type(type, [&]<class T>(T) {
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

void print_stability(const std::vector<contender>& all, unsigned threads)
{
    std::printf("%-21s %s\n", "contender", "equal keys (kv16, payload = input position)");
    for (const contender& c : all) {
        if (!c.of<kv16>().sort) {
            std::printf("%-21s %s\n", c.id.c_str(), "does not sort kv16");
            continue;
        }
        const std::optional<std::string> where = first_instability(c, threads);
        std::printf("%-21s %s\n", c.id.c_str(), where ? ("unstable (first seen on " + *where + ")").c_str() : "stable");
    }
}

int counts_main(const command_line& line)
{
    const parsed_flags& given = line.flags();
    const bool as_json = line.as_json();
    const auto wanted = line.filter();
    if (line.help()) return line.show_help();
    if (given.value("write")) {
        write_arrays(given);
        return line.finish(stdout);
    }
    std::unique_ptr<user_data> data = line.input();
    if (given.boolean("profile") && !data) throw flag_error("--profile needs --input=FILE");
    const bench_run run(given.values("contender"), std::move(data));
    if (given.boolean("profile")) {
        // One size given is the size of the arrays the data holds.
        const std::vector<std::uint32_t>& sizes = run.data()->sizes();
        const std::uint32_t n = sizes.size() == 1 ? sizes.front() : 0;
        write_profile(stdout, *run.data(), profile(*run.data(), n), as_json);
    } else if (given.boolean("patterns")) {
        write_pattern_measures(stdout, pattern_probe_size, as_json);
    } else if (given.boolean("stability")) {
        print_stability(run.contenders(), line.thread_limit());
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

// The modes that are programs of their own now, by the flag that asked for
// them here: an old command line still runs, and says where it went.
struct moved_mode {
    std::string_view flag;
    const char* program;
};
constexpr moved_mode moved_modes[] = {
    {"certificate", "sortbench-certificate"}, {"robustness", "sortbench-certificate"},
    {"replay", "sortbench-certificate"},      {"adversary", "sortbench-certificate"},
    {"growth", "sortbench-growth"},           {"claims", "sortbench-growth"},
    {"worst", "sortbench-growth"},
};

std::string_view flag_name(std::string_view arg)
{
    if (!arg.starts_with("--")) return {};
    arg.remove_prefix(2);
    return arg.substr(0, arg.find('='));
}

// Runs the program a moved mode is now, when `args` ask for one; returns the
// status of a refusal, or nothing when no moved mode is asked for.
std::optional<int> hand_on(const std::vector<std::string>& args)
{
    const auto given = [&](std::string_view flag) {
        return std::any_of(args.begin(), args.end(), [&](const std::string& a) { return flag_name(a) == flag; });
    };
    for (const moved_mode& m : moved_modes) {
        if (!given(m.flag)) continue;
        if (m.flag == "replay" && !given("certificate")) {
            std::fprintf(stderr, "%s: --replay needs --certificate\n", program.name);
            return 1;
        }
        std::fprintf(stderr, "%s: --%s is %s now; running it\n", program.name, std::string(m.flag).c_str(), m.program);
        const std::string why = become(m.program, args);
        std::fprintf(stderr, "%s: %s\n", program.name, why.c_str());
        return 1;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (const std::optional<int> refused = hand_on(args)) return *refused;
    return run_program(program.name, [&] { return counts_main(command_line(program, args)); });
}
