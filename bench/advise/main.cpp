// sortbench-advise: which sort for your data, on this machine. The
// contenders that meet the constraints race in paired rounds on the first
// half of the arrays the file is cut into; the winner is confirmed against
// the runner-up and std_sort on the other half, which the race never saw.
//
//   sortbench-advise --input=FILE [--input_type=TYPE] [--input_text] [--input_sizes=N]
//                    [--stable] [--in_place] [--threads=N] [--contender=[NAME=]PATH ...]
//                    [--budget_s=S] [--processes=K] [--format=console|json]
#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/advise/advise.hpp"
#include "bench/engine/cli.hpp"
#include "bench/engine/grid.hpp"
#include "bench/engine/json.hpp"
#include "bench/engine/processes.hpp"
#include "bench/robustness/robustness.hpp"
#include "inputs/profile.hpp"
#include "platform/call_costs.hpp"

namespace {

constexpr flag_spec flags[] = {
    {"stable", "", "only contenders measured to keep equal keys in their input order"},
    {"in_place", "", "only contenders that allocate nothing during the call"},
    {"threads", "N", "parallel contenders on up to N threads (default: SORTBENCH_MAX_THREADS, else 1: none)"},
    {"contender", "[NAME=]PATH", "a contender library (include/sortbench/contender.h), named NAME if given; repeatable",
     true},
    {"budget_s", "S", "the whole advice's time, about (default 60)"},
    {"processes", "K",
     "confirm in K processes, each with its own address-space layout, the intervals over them (default 3)"},
    {"confirm_only", "A,B[,C]",
     "only the held-out rounds of these contenders, as sortbench-rounds JSON to --confirm_out (the advice's own "
     "processes run so)"},
    {"confirm_out", "FILE", "where --confirm_only writes"},
    {"format", "console|json", "a few lines (the default), or one JSON object"},
    {"json_out", "FILE", "write the JSON object there as well"},
    {"help", "", "this list"},
};

constexpr program_spec program{"sortbench-advise", "usage: sortbench-advise --input=FILE [flags]", flags};

constexpr const char* reference_name = "std_sort";


// The held-out rounds of the processes after this one, each run as this
// program with --confirm_only, [process][member][round].
held_out_rounds other_processes(const std::vector<std::string>& args, const std::vector<const contender*>& finalists,
                                unsigned processes)
{
    const scratch_folder scratch;
    std::string names;
    for (const contender* c : finalists) names += (names.empty() ? "" : ",") + c->id;
    std::vector<std::vector<std::string>> runs;
    for (unsigned k = 2; k <= processes; ++k) {
        std::vector<std::string> one = without_flag(without_flag(args, "format"), "json_out");
        one.push_back("--confirm_only=" + names);
        one.push_back("--confirm_out=" + scratch.file(std::to_string(k) + ".json"));
        runs.push_back(std::move(one));
    }
    run_again(runs, [&](std::size_t k) { std::fprintf(stderr, "process %zu of %u\n", k + 2, processes); });
    held_out_rounds out;
    for (unsigned k = 2; k <= processes; ++k) {
        std::ifstream in(scratch.file(std::to_string(k) + ".json"));
        const json doc = json::parse(in, nullptr, false);
        if (doc.is_discarded() || !doc.contains("cases") || doc["cases"].size() != 1) {
            throw std::runtime_error("process " + std::to_string(k) + " of " + std::to_string(processes) +
                                     " wrote no held-out rounds");
        }
        out.push_back(doc["cases"][0]["ns_per_call"].get<std::vector<std::vector<double>>>());
    }
    return out;
}

// As a process of another advice's confirmation: the held-out rounds of the
// contenders it names, in its order, written as sortbench-rounds writes them.
template <class T>
int confirm_only(const command_line& line, bench_run& run, std::uint32_t n, const rounds_options& options,
                 unsigned threads)
{
    std::vector<const contender*> group;
    for (const std::string& name : split_list(*line.flags().value("confirm_only"), ',')) {
        const auto found = std::find_if(run.contenders().begin(), run.contenders().end(),
                                        [&](const contender& c) { return c.id == name; });
        if (found == run.contenders().end()) return line.refuse("no contender named '" + name + "'");
        group.push_back(&*found);
    }
    const std::string path = line.flags().value("confirm_out").value_or("");
    std::FILE* out = path.empty() ? nullptr : std::fopen(path.c_str(), "w");
    if (out == nullptr) return line.refuse("--confirm_only needs --confirm_out=FILE that can be written");
    const rounds_case held = run_rounds<T>(run, group, run.data()->pattern(), n, false, options, threads);
    write_json(out, rounds_document(group, options, threads, {held}));
    return line.finish(out);
}

std::string shell_quoted(const std::string& s)
{
    if (s.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-=./,:") == std::string::npos) {
        return s;
    }
    std::string out = "'";
    for (const char ch : s) out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return out + "'";
}

// An interval's upper end is infinite below six rounds.
json finite_or_null(double x)
{
    return std::isfinite(x) ? rounded(x, 4) : json(nullptr);
}

std::string figure(double x, const char* format = "%.3f")
{
    char text[64];
    std::snprintf(text, sizeof text, format, x);
    return text;
}

template <class T>
int advise(const command_line& line, const std::vector<std::string>& args, const std::string& command,
           std::unique_ptr<user_data> data)
{
    const parsed_flags& given = line.flags();
    const bool as_json = given.value("format").value_or("console") == "json";
    advice_constraints constraints;
    constraints.stable = given.boolean("stable");
    constraints.in_place = given.boolean("in_place");
    constraints.threads = line.thread_limit(1);
    const double budget = line.number("budget_s", 2, 86400, 60);
    const unsigned processes = line.number("processes", 1, 100, default_processes);
    if (constraints.in_place && !allocations_counted()) {
        return line.refuse("--in_place: allocations cannot be counted in this build (another layer owns malloc)");
    }
    // One size given (--input_sizes=N) is the arrays'; otherwise the file is
    // cut in four. A size that leaves no array to hold out is refused, not
    // quietly replaced.
    std::uint32_t asked = 0;
    if (data->sizes_given()) {
        if (data->sizes().size() != 1) return line.refuse("--input_sizes: the advice takes one size, the arrays'");
        asked = data->sizes()[0];
        if (asked > data->count() / 2) {
            return line.refuse("--input_sizes=" + std::to_string(asked) + ": arrays of that size leave none to hold " +
                               "out of " + std::to_string(data->count()) + " values; the largest that does is " +
                               std::to_string(data->count() / 2));
        }
    }
    const auto split = split_data(data->count(), asked);
    if (!split) {
        return line.refuse(data->path() + ": " + std::to_string(data->count()) +
                           " values are too few to split into arrays to race on and arrays held out");
    }
    const data_profile shape = profile(*data, split->n);

    bench_run run(given.values("contender"));
    advice_shares shares = share_out(*data, *split);
    const std::uint32_t n = split->n;
    rounds_options race_options;
    race_options.min_rounds = 10;
    // Half the budget for the race, 30% for the confirmation, shared by its
    // processes; the rest goes to the profile, the constraints' probes and
    // the warm-up calls.
    race_options.budget_seconds = budget * 0.5;
    rounds_options confirm_options = race_options;
    confirm_options.budget_seconds = budget * 0.3 / processes;
    const unsigned threads = constraints.threads > 1 ? constraints.threads : 0;
    if (given.value("confirm_only")) {
        run.replace_data(std::move(shares.held_out));
        return confirm_only<T>(line, run, n, confirm_options, threads);
    }
    run.replace_data(std::move(shares.training));

    // The candidates, each with what the constraints ask of it.
    const contender* reference = nullptr;
    std::vector<const contender*> candidates;
    json left_out = json::object();
    std::vector<T> probe(n);
    for (const contender& c : run.contenders()) {
        if (c.id == reference_name) reference = &c;
        candidate_facts facts;
        facts.takes_type = static_cast<bool>(c.of<T>().sort);
        facts.quadratic_here = quadratic_here(c, run.data()->pattern(), n);
        if (constraints.stable && c.of<kv16>().sort) facts.stable = !first_instability(c, constraints.threads).has_value();
        if (constraints.in_place && facts.takes_type) {
            if (c.parallel()) c.use_threads(constraints.threads);
            run.data()->fill(std::span(probe), 0);
            const std::uint64_t before = allocations_so_far().calls;
            c.of<T>().sort(probe.data(), n);
            facts.allocations_per_call = static_cast<double>(allocations_so_far().calls - before);
        }
        std::string why;
        if (meets(c, facts, constraints, &why)) {
            candidates.push_back(&c);
        } else {
            left_out[c.id] = why;
        }
    }
    if (reference == nullptr || !reference->of<T>().sort) return line.refuse("std_sort does not take this type");
    if (candidates.empty()) return line.refuse("no contender meets the constraints");

    // The race, on the training arrays: the reference first, whether or not
    // it is a candidate itself.
    std::vector<const contender*> group{reference};
    for (const contender* c : candidates) {
        if (c != reference) group.push_back(c);
    }
    std::fprintf(stderr, "racing %zu contenders on %zu arrays of %u\n", group.size(), split->training, n);
    const rounds_case race = run_rounds<T>(run, group, run.data()->pattern(), n, false, race_options, threads);
    std::vector<bool> is_candidate;
    for (const contender* c : group) {
        is_candidate.push_back(std::find(candidates.begin(), candidates.end(), c) != candidates.end());
    }
    const auto order = ranked_candidates(race, is_candidate);
    const contender* pick = group[order[0].first];
    const contender* runner_up = order.size() > 1 ? group[order[1].first] : pick;

    // The confirmation, on the held-out arrays, in fresh rounds.
    run.replace_data(std::move(shares.held_out));
    std::vector<const contender*> finalists{reference};
    for (const contender* c : {pick, runner_up}) {
        if (std::find(finalists.begin(), finalists.end(), c) == finalists.end()) finalists.push_back(c);
    }
    std::fprintf(stderr, "confirming %s on %zu held-out arrays\n", pick->id.c_str(), split->held_out);
    const rounds_case held = run_rounds<T>(run, finalists, run.data()->pattern(), n, false, confirm_options, threads);
    held_out_rounds held_rounds{{}};
    for (std::size_t m = 0; m < finalists.size(); ++m) held_rounds.front().push_back(held.written(m));
    if (processes > 1) {
        for (auto& other : other_processes(args, finalists, processes)) held_rounds.push_back(std::move(other));
    }
    const auto index = [&](const contender* c) {
        return static_cast<std::size_t>(std::find(finalists.begin(), finalists.end(), c) - finalists.begin());
    };
    // Each process's own figure of the pick, as a reader pools processes.
    json by_process = json::array();
    for (const auto& process : held_rounds) {
        by_process.push_back(rounded(median_ratio(process.at(0), process.at(index(pick))).ratio, 6));
    }
    std::size_t heldout_rounds = 0;
    for (const auto& process : held_rounds) heldout_rounds += process.front().size();
    const bool reference_eligible = std::find(candidates.begin(), candidates.end(), reference) != candidates.end();
    const confirmation verdict = confirm(held_rounds, index(pick), index(runner_up), reference_eligible);
    const contender* best = finalists[verdict.best];

    // Why: what each does per element on one training array.
    const auto per_element = [&](const contender* c) -> std::pair<double, double> {
        if (!c->of<T>().count) return {-1, -1};  // nothing to count
        std::vector<T> a(n);
        data->fill(std::span(a), 0);
        const sorts::op_counts k = c->of<T>().count(a.data(), n);
        if (k.comparisons == not_counted) return {-2, -2};  // counted differently in every call
        return {static_cast<double>(k.comparisons) / n, k.moves == not_counted ? -1 : static_cast<double>(k.moves) / n};
    };
    const auto [pick_cmp, pick_moves] = per_element(pick);
    const auto [runner_cmp, runner_moves] = per_element(runner_up);

    std::vector<std::string> raced;
    for (const contender* c : group) raced.push_back(c->id);
    {
        const auto count_or_null = [](double x) { return x < 0 ? json(nullptr) : json(rounded(x, 3)); };
        json out{{"pick", pick->id},
                 {"runner_up", runner_up->id},
                 {"reference", reference->id},
                 {"ratio", rounded(verdict.pick_over_reference.ratio, 4)},
                 {"interval", {rounded(verdict.pick_over_reference.low, 4), finite_or_null(verdict.pick_over_reference.high)}},
                 {"interval_processes", processes},
                 {"pick_over_reference_by_process", by_process},
                 {"tie", verdict.tie},
                 {"pick_over_runner_up", rounded(verdict.pick_over_runner_up.ratio, 4)},
                 {"pick_over_runner_up_interval",
                  {rounded(verdict.pick_over_runner_up.low, 4), finite_or_null(verdict.pick_over_runner_up.high)}},
                 {"heldout_best", best->id},
                 {"regret", rounded(verdict.regret.ratio, 4)},
                 {"candidates", raced},
                 {"left_out", left_out},
                 {"constraints", {{"stable", constraints.stable}, {"in_place", constraints.in_place},
                                  {"threads", constraints.threads}}},
                 {"why", {{"pick_comparisons_per_element", count_or_null(pick_cmp)},
                          {"pick_moves_per_element", count_or_null(pick_moves)},
                          {"runner_up_comparisons_per_element", count_or_null(runner_cmp)},
                          {"runner_up_moves_per_element", count_or_null(runner_moves)},
                          {"nearest_pattern", shape.nearest},
                          {"inverted_pairs", rounded(shape.measures.inverted_fraction, 4)},
                          {"ascending_runs", shape.measures.ascending_runs},
                          {"distinct", shape.measures.distinct}}},
                 {"file", data->path()},
                 {"type", data->type()},
                 {"size", n},
                 {"training_arrays", split->training},
                 {"heldout_arrays", split->held_out},
                 {"race_rounds", race.rounds.front().size()},
                 {"heldout_rounds", heldout_rounds},
                 {"figure", race.cpu_figure ? "cpu" : "wall"},
                 {"command", command}};
        if (const auto path = given.value("json_out")) {
            std::FILE* f = std::fopen(path->c_str(), "w");
            if (f == nullptr) return line.refuse(*path + ": cannot be written");
            write_json(f, out);
            if (std::fclose(f) != 0) return line.refuse(*path + ": cannot be written");
        }
        if (as_json) {
            write_json(stdout, out);
            return line.finish(stdout);
        }
    }
    const auto interval = [](const paired_ratio& r) {
        return "95%: " + figure(r.low) + " to " + (std::isfinite(r.high) ? figure(r.high) : std::string("inf"));
    };
    const auto counts = [](double cmp, double moves) {
        if (cmp == -1) return std::string("no comparisons to count (a radix or vector sort)");
        if (cmp < 0) return std::string("comparisons that differ from call to call (it samples at random)");
        return figure(cmp, "%.1f") + " comparisons and " + (moves < 0 ? std::string("uncounted") : figure(moves, "%.1f")) +
               " moves per element";
    };
    std::printf("pick: %s, %s of %s on the held-out arrays (%s)\n", pick->id.c_str(),
                figure(verdict.pick_over_reference.ratio).c_str(), reference->id.c_str(),
                interval(verdict.pick_over_reference).c_str());
    if (runner_up == pick) {
        std::printf("runner-up: none (one candidate)\n");
    } else {
        std::printf("runner-up: %s; the pick is %s of it (%s)%s\n", runner_up->id.c_str(),
                    figure(verdict.pick_over_runner_up.ratio).c_str(), interval(verdict.pick_over_runner_up).c_str(),
                    verdict.tie ? ": a tie" : "");
    }
    if (best != pick) {
        std::printf("held out, %s was fastest: the pick takes %s of its time\n", best->id.c_str(),
                    figure(verdict.regret.ratio).c_str());
    }
    std::printf("why: %s makes %s; %s %s. The data is nearest to %s (%.3f inverted pairs, %zu runs, %zu distinct)\n",
                pick->id.c_str(), counts(pick_cmp, pick_moves).c_str(), runner_up->id.c_str(),
                counts(runner_cmp, runner_moves).c_str(), shape.nearest.c_str(), shape.measures.inverted_fraction,
                static_cast<std::size_t>(shape.measures.ascending_runs), static_cast<std::size_t>(shape.measures.distinct));
    std::printf("raced %zu contenders on %zu arrays of %u (%s time), confirmed on %zu others in %s\n", group.size(),
                split->training, n, race.cpu_figure ? "CPU" : "wall", split->held_out,
                processes == 1 ? "one process" : (std::to_string(processes) + " processes").c_str());
    std::printf("repeat: %s\n", command.c_str());
    return line.finish(stdout);
}

int advise_main(const command_line& line, const std::vector<std::string>& args, const std::string& command)
{
    if (line.help()) {
        std::fputs(line.help_text().c_str(), stdout);
        return line.finish(stdout);
    }
    const std::string format = line.flags().value("format").value_or("console");
    if (format != "console" && format != "json") throw flag_error("--format takes console or json, not '" + format + "'");
    std::unique_ptr<user_data> data = line.input();
    if (!data) throw flag_error("--input=FILE names the data to advise on");
    int status = 1;
    bool known = false;
    for_each_type([&]<class T>(T) {
        if (known || element_traits<T>::name != data->type()) return;
        known = true;
        status = advise<T>(line, args, command, std::move(data));
    });
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string command = "sortbench-advise";
    for (int i = 1; i < argc; ++i) {
        command += ' ';
        command += shell_quoted(argv[i]);
    }
    return run_program(program.name, [&] {
        const std::vector<std::string> args(argv + 1, argv + argc);
        return advise_main(command_line(program, args), args, command);
    });
}
