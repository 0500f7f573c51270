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
#include <vector>

#include "bench/counts/counts.hpp"
#include "bench/engine/cli.hpp"
#include "bench/engine/json.hpp"
#include "bench/engine/bench_run.hpp"
#include "bench/growth/claims.hpp"
#include "bench/robustness/certificate.hpp"
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
    {"profile", "", "the disorder of --input's data (of each array, with --input_sizes=N) and the pattern nearest to it"},
    {"robustness", "", "every fault of a comparison or an allocation at points across each sort: the worst per fault"},
    {"certificate", "", "one row per contender: the worst seen under each kind of fault, with the case to replay"},
    {"replay", "CASE", "with --certificate: run one case (fault/form/pattern/size/point) and say what happened"},
    {"adversary", "", "each contender's comparisons against McIlroy's adversary"},
    {"adversary_size", "N", "the adversary's size (default 10000)"},
    {"adversary_dir", "DIR", "write each input the adversary built to DIR, as --input replays it"},
    {"growth", "", "how comparisons and moves grow on each pattern, 1,000 to 1,000,000: the class each follows (--filter on contender/pattern)"},
    {"growth_max", "N", "with --growth or --claims: the largest size counted (default 1000000); fitted down to a hundredth of it"},
    {"claims", "", "each contender's published claims of growth, held or broken, with the figures that decide them"},
    {"claim", "LINE", "with --claims: judge this claim (PATTERN: CLASS, worst: CLASS, stable) on every contender --filter names, instead of their own; repeatable", true},
    {"worst", "", "search for the input that makes each contender compare most, and write it as a file to replay"},
    {"worst_size", "N", "the size of the worst-case search (default 10000)"},
    {"worst_budget", "M", "the millions of comparisons the search may count (default 4000: 10 to 15 s at 10,000 elements here)"},
    {"worst_start", "NAME", "start the search from this pattern, or \"adversary\", not the best of all of them"},
    {"seed", "S", "the search's seed (default 1): the same seed finds the same input on every machine"},
    {"worst_dir", "DIR", "where --worst writes its inputs (default .)"},
    {"write", "PATTERN", "write a pattern's arrays to standard output, as --input reads them back", false,
     pattern_names},
    {"write_type", "TYPE", "their element type (default int32)", false, type_names},
    {"write_size", "N", "their size"},
    {"write_arrays", "K", "how many (default: as many as a batch of the suite holds)"},
    {"threads", "N",
     "threads that count --growth's cases, and a parallel sort's in the stability check (default: "
     "SORTBENCH_MAX_THREADS, else the hardware's)"},
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

// The replay of an input file written for contender `id`: the counts of
// that one case.
std::string replay_command(const std::vector<std::string>& libraries, const std::string& file, const std::string& id,
                           std::uint32_t n)
{
    std::string command = "sortbench-counts";
    for (const std::string& library : libraries) command += " --contender=" + library;
    const std::string name = std::filesystem::path(file).stem().string();
    return command + " --input=" + file + " --input_sizes=" + std::to_string(n) + " --filter='^" + id + "/" + name +
           "/" + std::to_string(n) + "$'";
}

// The adversary against every sequential contender with a counting form;
// each input it built is written to `dir` when given.
void print_adversary(const std::vector<contender>& all, std::uint32_t n, const std::optional<std::string>& dir,
                     const std::vector<std::string>& libraries, bool as_json)
{
    struct row {
        std::string id;
        adversary_result result;
        std::string file;
    };
    std::vector<row> rows;
    for (const contender& c : all) {
        const count_ref<std::int32_t>& count = c.of<std::int32_t>().count;
        if (!count || c.parallel() || c.pinned_target) continue;
        row r{c.id, run_adversary(count, n), ""};
        if (dir && r.result.comparisons != not_counted) {
            r.file = adversary_file(*dir, c.id, n);
            if (!write_int32_file(r.file, r.result.input)) throw flag_error("--adversary_dir: cannot write " + r.file);
        }
        rows.push_back(std::move(r));
    }
    const double n_log_n = n * std::log2(static_cast<double>(n));
    const auto replay = [&](const row& r) { return replay_command(libraries, r.file, r.id, n); };
    if (as_json) {
        auto list = json::array();
        for (const row& r : rows) {
            // A contender that samples at random compares afresh in every call.
            const bool counted = r.result.comparisons != not_counted;
            json entry{{"contender", r.id},
                       {"size", n},
                       {"comparisons", counted ? json(r.result.comparisons) : json(nullptr)},
                       {"comparisons_over_n_log2_n",
                        counted && r.result.applies() ? json(rounded(r.result.comparisons / n_log_n, 3)) : json(nullptr)},
                       {"applies", r.result.applies()},
                       {"input_sorted", r.result.sorted_input}};
            if (!r.file.empty()) {
                entry["file"] = r.file;
                entry["replay"] = replay(r);
            }
            list.push_back(entry);
        }
        write_json(stdout, list);
        return;
    }
    std::printf("%-17s %8s %14s %12s\n", "contender", "size", "comparisons", "cmp/nlog2n");
    for (const row& r : rows) {
        if (r.result.comparisons == not_counted) {
            std::printf("%-17s %8u %14s %12s\n", r.id.c_str(), n, "n/a", "n/a");
        } else if (!r.result.applies()) {
            std::printf("%-17s %8u %14llu %s\n", r.id.c_str(), n, static_cast<unsigned long long>(r.result.comparisons),
                        r.result.sorted_input ? "  not applicable (the adversary's input is sorted)"
                                              : "  not applicable (fewer than lg n!: its input came out in long runs)");
        } else {
            std::printf("%-17s %8u %14llu %12.3f\n", r.id.c_str(), n, static_cast<unsigned long long>(r.result.comparisons),
                        static_cast<double>(r.result.comparisons) / n_log_n);
        }
        if (!r.file.empty()) std::printf("  replay: %s\n", replay(r).c_str());
    }
}

// The contenders a certificate or a fault table covers: the sequential
// ones --filter names.
std::vector<const contender*> certified(const std::vector<contender>& all, const std::function<bool(const std::string&)>& wanted)
{
    std::vector<const contender*> out;
    for (const contender& c : all) {
        if (!c.parallel() && !c.pinned_target && wanted(c.id)) out.push_back(&c);
    }
    return out;
}

// Runs one case of --replay and says what happened.
int replay_case(const command_line& line, const std::vector<const contender*>& chosen, const std::string& name)
{
    const auto c = case_named(name);
    if (!c) return line.refuse("--replay takes fault/form/pattern/size/point, not '" + name + "'");
    if (chosen.size() != 1) return line.refuse("--replay needs --filter to name one contender");
    const fault_target target = target_of(*chosen.front());
    if (!has_form(target, c->form)) return line.refuse(chosen.front()->id + " has no " + name_of(c->form) + " form");
    const fault_result r = run_fault(target, *c);
    std::printf("%s %s: %s; %llu comparisons, %llu allocations\n", chosen.front()->id.c_str(), c->name().c_str(),
                describe(r, c->n).c_str(), static_cast<unsigned long long>(r.comparisons),
                static_cast<unsigned long long>(r.allocations));
    return line.finish(stdout);
}

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
    const auto adversary_size = static_cast<std::uint32_t>(line.number("adversary_size", 2, 10000000, 10000));
    if (given.value("replay") && !given.boolean("certificate")) throw flag_error("--replay needs --certificate");
    std::unique_ptr<user_data> data = line.input();
    if (given.boolean("profile") && !data) throw flag_error("--profile needs --input=FILE");
    const bench_run run(given.values("contender"), std::move(data));
    if (given.boolean("profile")) {
        // One size given is the size of the arrays the data holds.
        const std::vector<std::uint32_t>& sizes = run.data()->sizes();
        const std::uint32_t n = sizes.size() == 1 ? sizes.front() : 0;
        write_profile(stdout, *run.data(), profile(*run.data(), n), as_json);
    } else if (given.boolean("robustness") || given.boolean("certificate")) {
        certificate_options options;
        options.adversary_size = adversary_size;
        const std::vector<const contender*> chosen = certified(run.contenders(), wanted);
        if (const auto name = given.value("replay")) return replay_case(line, chosen, *name);
        if (chosen.empty()) return line.refuse("the filter matches no contender");
        std::vector<fault_record> records;
        std::vector<certificate_row> rows;
        for (const contender* c : chosen) {
            const auto start = std::chrono::steady_clock::now();
            std::vector<fault_record> mine = fault_sweep(*c, options);
            if (given.boolean("certificate")) rows.push_back(certify(*c, mine, options.adversary_size));
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            std::fprintf(stderr, "%s: %zu runs, %.1f s\n", c->id.c_str(), mine.size(), took.count());
            records.insert(records.end(), mine.begin(), mine.end());
        }
        if (given.boolean("certificate")) {
            std::string replay = "sortbench-counts";
            for (const std::string& library : given.values("contender")) replay += " --contender=" + library;
            write_certificate(stdout, rows, replay, options.adversary_size, as_json);
        } else {
            write_fault_runs(stdout, records, as_json);
        }
    } else if (given.boolean("growth")) {
        const claims_options options = growth_flags(line);
        std::vector<const contender*> chosen;
        for (const contender& c : run.contenders()) {
            if (!c.parallel() && !c.pinned_target) chosen.push_back(&c);
        }
        const auto rows = measure_growth(chosen, options.growth, wanted);
        if (rows.empty()) return line.refuse("the filter matches no contender/pattern that counts comparisons");
        write_growth(stdout, rows, options.growth, as_json);
    } else if (given.boolean("claims")) {
        std::vector<claim> tried;
        for (const std::string& text : given.values("claim")) {
            parsed_claims p = parse_claims(text);
            if (!p.unreadable.empty()) throw flag_error("--claim: " + p.unreadable.front());
            tried.insert(tried.end(), p.claims.begin(), p.claims.end());
        }
        const std::vector<const contender*> chosen = certified(run.contenders(), wanted);
        if (chosen.empty()) return line.refuse("the filter matches no contender");
        const claims_options options = growth_flags(line);
        write_claims(stdout, judge_claims(chosen, tried, options), options.growth, as_json);
    } else if (given.boolean("worst")) {
        const std::vector<const contender*> chosen = certified(run.contenders(), wanted);
        if (chosen.empty()) return line.refuse("the filter matches no contender");
        return print_worst(line, chosen, growth_flags(line).worst, as_json);
    } else if (given.boolean("adversary")) {
        print_adversary(run.contenders(), adversary_size, given.value("adversary_dir"), given.values("contender"),
                        as_json);
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

}  // namespace

int main(int argc, char** argv)
{
    return run_program(program.name, [&] {
        return counts_main(command_line(program, std::vector<std::string>(argv + 1, argv + argc)));
    });
}
