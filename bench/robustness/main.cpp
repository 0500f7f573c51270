// sortbench-certificate: is a sort safe when its comparison, or its memory,
// fails? Every fault of a comparison or an allocation at points across each
// sort, summed up per contender as a certificate with the case to replay;
// the table of every fault; one case replayed; McIlroy's adversary.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/engine/adversary.hpp"
#include "bench/engine/bench_run.hpp"
#include "bench/engine/cli.hpp"
#include "bench/engine/json.hpp"
#include "bench/robustness/certificate.hpp"

namespace {

constexpr flag_spec flags[] = {
    {"format", "console|json", "a table (the default), or JSON"},
    {"filter", "REGEX", "only the contenders whose name it matches"},
    {"contender", "[NAME=]PATH", "a contender library (include/sortbench/contender.h), named NAME if given; repeatable", true},
    {"certificate", "", "one row per contender: the worst seen under each kind of fault, with the case to replay (the default)"},
    {"robustness", "", "every fault of a comparison or an allocation at points across each sort: the worst per fault"},
    {"replay", "CASE", "run one case (fault/form/pattern/size/point) and say what happened"},
    {"adversary", "", "each contender's comparisons against McIlroy's adversary"},
    {"adversary_size", "N", "the adversary's size (default 10000)"},
    {"adversary_dir", "DIR", "write each input the adversary built to DIR, as --input replays it"},
    {"threads", "N", "taken, as every program takes it, and checked; the certificate covers sequential sorts only"},
    {"help", "", "this list"},
};

constexpr program_spec program{"sortbench-certificate", "usage: sortbench-certificate [flags]", flags, false};

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

int certificate_main(const command_line& line)
{
    const parsed_flags& given = line.flags();
    const bool as_json = line.as_json();
    const auto wanted = line.filter();
    if (line.help()) return line.show_help();
    line.thread_limit();  // a wrong --threads or SORTBENCH_MAX_THREADS is refused here too
    certificate_options options;
    options.adversary_size = static_cast<std::uint32_t>(line.number("adversary_size", 2, 10000000, 10000));
    const bench_run run(given.values("contender"), nullptr);
    if (given.boolean("adversary") && !given.boolean("certificate") && !given.boolean("robustness")) {
        print_adversary(run.contenders(), options.adversary_size, given.value("adversary_dir"),
                        given.values("contender"), as_json);
        return line.finish(stdout);
    }
    const std::vector<const contender*> chosen = sequential_contenders(run.contenders(), wanted);
    if (const auto name = given.value("replay")) return replay_case(line, chosen, *name);
    if (chosen.empty()) return line.refuse("the filter matches no contender");
    const bool table = given.boolean("robustness") && !given.boolean("certificate");
    std::vector<fault_record> records;
    std::vector<certificate_row> rows;
    for (const contender* c : chosen) {
        const auto start = std::chrono::steady_clock::now();
        std::vector<fault_record> mine = fault_sweep(*c, options);
        if (!table) rows.push_back(certify(*c, mine, options.adversary_size));
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::fprintf(stderr, "%s: %zu runs, %.1f s\n", c->id.c_str(), mine.size(), took.count());
        records.insert(records.end(), mine.begin(), mine.end());
    }
    if (table) {
        write_fault_runs(stdout, records, as_json);
    } else {
        // The replay is asked of sortbench-counts, which hands it on here: the
        // command printed works with either name.
        std::string replay = "sortbench-counts";
        for (const std::string& library : given.values("contender")) replay += " --contender=" + library;
        write_certificate(stdout, rows, replay, options.adversary_size, as_json);
    }
    return line.finish(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    return run_program(program.name, [&] {
        return certificate_main(command_line(program, std::vector<std::string>(argv + 1, argv + argc)));
    });
}
