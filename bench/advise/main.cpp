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
#include <optional>
#include <string>
#include <vector>

#include "bench/advise/advise.hpp"
#include "bench/engine/cli.hpp"
#include "bench/engine/grid.hpp"
#include "bench/engine/json.hpp"
#include "bench/engine/processes.hpp"
#include "bench/engine/stability.hpp"
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

// The contenders the race may pick from, each with what the constraints
// ask of it measured, and the reference, which races in every group.
struct candidate_set {
    const contender* reference = nullptr;
    std::vector<const contender*> candidates;
    std::vector<std::pair<std::string, std::string>> left_out;  // contender, why
};

template <class T>
candidate_set find_candidates(const bench_run& run, const advice_constraints& constraints, std::uint32_t n)
{
    candidate_set out;
    std::vector<T> probe(n);
    for (const contender& c : run.contenders()) {
        if (c.id == reference_name) out.reference = &c;
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
            out.candidates.push_back(&c);
        } else {
            out.left_out.emplace_back(c.id, why);
        }
    }
    return out;
}

struct race_result {
    std::vector<const contender*> group;  // the reference first
    rounds_case rounds;
    const contender* pick = nullptr;
    const contender* runner_up = nullptr;  // the pick itself where it is the only candidate
};

// Who races: the reference first, whether or not it is a candidate itself.
std::vector<const contender*> race_group(const candidate_set& set)
{
    std::vector<const contender*> group{set.reference};
    for (const contender* c : set.candidates) {
        if (c != set.reference) group.push_back(c);
    }
    return group;
}

// The race, on the training arrays.
template <class T>
race_result race(bench_run& run, std::vector<const contender*> group, const candidate_set& set, std::uint32_t n,
                 const rounds_options& options, unsigned threads)
{
    race_result out;
    out.group = std::move(group);
    out.rounds = run_rounds<T>(run, out.group, run.data()->pattern(), n, false, options, threads);
    std::vector<bool> is_candidate;
    for (const contender* c : out.group) {
        is_candidate.push_back(std::find(set.candidates.begin(), set.candidates.end(), c) != set.candidates.end());
    }
    const auto order = ranked_candidates(out.rounds, is_candidate);
    out.pick = out.group[order[0].first];
    out.runner_up = order.size() > 1 ? out.group[order[1].first] : out.pick;
    return out;
}

// The confirmation, on the held-out arrays, in fresh rounds in this process
// and in processes - 1 others: the reference, the pick and the runner-up.
template <class T>
void confirm_held_out(bench_run& run, const std::vector<std::string>& args, const candidate_set& set,
                      const race_result& raced, std::uint32_t n, const rounds_options& options, unsigned threads,
                      advice_record& record)
{
    std::vector<const contender*> finalists{set.reference};
    for (const contender* c : {raced.pick, raced.runner_up}) {
        if (std::find(finalists.begin(), finalists.end(), c) == finalists.end()) finalists.push_back(c);
    }
    const rounds_case held = run_rounds<T>(run, finalists, run.data()->pattern(), n, false, options, threads);
    held_out_rounds rounds{{}};
    for (std::size_t m = 0; m < finalists.size(); ++m) rounds.front().push_back(held.written(m));
    if (record.processes > 1) {
        for (auto& other : other_processes(args, finalists, record.processes)) rounds.push_back(std::move(other));
    }
    const auto index = [&](const contender* c) {
        return static_cast<std::size_t>(std::find(finalists.begin(), finalists.end(), c) - finalists.begin());
    };
    // Each process's own figure of the pick, as a reader pools processes.
    for (const auto& process : rounds) {
        record.pick_by_process.push_back(median_ratio(process.at(0), process.at(index(raced.pick))).ratio);
        record.heldout_rounds += process.front().size();
    }
    const bool reference_eligible =
        std::find(set.candidates.begin(), set.candidates.end(), set.reference) != set.candidates.end();
    record.verdict = confirm(rounds, index(raced.pick), index(raced.runner_up), reference_eligible);
    record.best = finalists[record.verdict.best]->id;
}

// Why: what a contender does per element on one training array.
template <class T>
per_element_counts explain(const contender& c, const user_data& data, std::uint32_t n)
{
    if (!c.of<T>().count) return {};
    std::vector<T> a(n);
    data.fill(std::span(a), 0);
    const sorts::op_counts k = c.of<T>().count(a.data(), n);
    if (k.comparisons == not_counted) return {-2, -2};
    return {static_cast<double>(k.comparisons) / n, k.moves == not_counted ? -1 : static_cast<double>(k.moves) / n};
}

// The arrays' size: one size given (--input_sizes=N) is theirs; otherwise
// the file is cut in four. A size that leaves no array to hold out is
// refused, not quietly replaced. Empty, with `why`, where it cannot be cut.
std::optional<data_split> split_of(const user_data& data, std::string& why)
{
    std::uint32_t asked = 0;
    if (data.sizes_given()) {
        if (data.sizes().size() != 1) {
            why = "--input_sizes: the advice takes one size, the arrays'";
            return std::nullopt;
        }
        asked = data.sizes()[0];
        if (asked > data.count() / 2) {
            why = "--input_sizes=" + std::to_string(asked) + ": arrays of that size leave none to hold out of " +
                  std::to_string(data.count()) + " values; the largest that does is " + std::to_string(data.count() / 2);
            return std::nullopt;
        }
    }
    const auto split = split_data(data.count(), asked);
    if (!split) {
        why = data.path() + ": " + std::to_string(data.count()) +
              " values are too few to split into arrays to race on and arrays held out";
    }
    return split;
}

int render(const command_line& line, const advice_record& record)
{
    const parsed_flags& given = line.flags();
    if (const auto path = given.value("json_out")) {
        std::FILE* f = std::fopen(path->c_str(), "w");
        if (f == nullptr) return line.refuse(*path + ": cannot be written");
        write_json(f, advice_json(record));
        if (std::fclose(f) != 0) return line.refuse(*path + ": cannot be written");
    }
    if (line.as_json()) {
        write_json(stdout, advice_json(record));
    } else {
        print_advice(stdout, record);
    }
    return line.finish(stdout);
}

template <class T>
int advise(const command_line& line, const std::vector<std::string>& args, const std::string& command,
           std::unique_ptr<user_data> data)
{
    const parsed_flags& given = line.flags();
    advice_record record;
    record.constraints.stable = given.boolean("stable");
    record.constraints.in_place = given.boolean("in_place");
    record.constraints.threads = line.thread_limit(1);
    const double budget = line.number("budget_s", 2, 86400, 60);
    record.processes = line.number("processes", 1, 100, default_processes);
    if (record.constraints.in_place && !allocations_counted()) {
        return line.refuse("--in_place: allocations cannot be counted in this build (another layer owns malloc)");
    }
    std::string why;
    const auto split = split_of(*data, why);
    if (!split) return line.refuse(why);
    const std::uint32_t n = split->n;
    record.split = *split;
    record.shape = profile(*data, n);
    record.file = data->path();
    record.type = data->type();
    record.command = command;

    bench_run run(given.values("contender"));
    advice_shares shares = share_out(*data, *split);
    rounds_options race_options;
    race_options.min_rounds = 10;
    // Half the budget for the race, 30% for the confirmation, shared by its
    // processes; the rest goes to the profile, the constraints' probes and
    // the warm-up calls.
    race_options.budget_seconds = budget * 0.5;
    rounds_options confirm_options = race_options;
    confirm_options.budget_seconds = budget * 0.3 / record.processes;
    // Each process spends its whole share, not stopping once its rounds
    // agree: a shared host runs in phases of a second or more, in which the
    // pick and std_sort slow by different amounts (spinsort on an organ pipe
    // by 75% where std_sort slows by 25%), and rounds that stop inside one
    // phase agree closely on a figure the next process does not see.
    confirm_options.width = 0;
    const unsigned threads = record.constraints.threads > 1 ? record.constraints.threads : 0;
    if (given.value("confirm_only")) {
        run.replace_data(std::move(shares.held_out));
        return confirm_only<T>(line, run, n, confirm_options, threads);
    }
    run.replace_data(std::move(shares.training));

    const candidate_set set = find_candidates<T>(run, record.constraints, n);
    if (set.reference == nullptr || !set.reference->of<T>().sort) return line.refuse("std_sort does not take this type");
    if (set.candidates.empty()) return line.refuse("no contender meets the constraints");
    record.left_out = set.left_out;

    std::vector<const contender*> group = race_group(set);
    std::fprintf(stderr, "racing %zu contenders on %zu arrays of %u\n", group.size(), split->training, n);
    const race_result raced = race<T>(run, std::move(group), set, n, race_options, threads);
    for (const contender* c : raced.group) record.raced.push_back(c->id);
    record.race_rounds = raced.rounds.rounds.front().size();
    record.cpu_figure = raced.rounds.cpu_figure;
    record.pick = raced.pick->id;
    record.runner_up = raced.runner_up->id;
    record.reference = set.reference->id;

    run.replace_data(std::move(shares.held_out));
    std::fprintf(stderr, "confirming %s on %zu held-out arrays\n", raced.pick->id.c_str(), split->held_out);
    confirm_held_out<T>(run, args, set, raced, n, confirm_options, threads, record);

    record.pick_counts = explain<T>(*raced.pick, *data, n);
    record.runner_up_counts = explain<T>(*raced.runner_up, *data, n);
    return render(line, record);
}

int advise_main(const command_line& line, const std::vector<std::string>& args, const std::string& command)
{
    if (line.help()) return line.show_help();
    line.as_json();  // a wrong --format is refused before the data is read
    std::unique_ptr<user_data> data = line.input();
    if (!data) throw flag_error("--input=FILE names the data to advise on");
    int status = 1;
    data->visit([&]<class T>(T) { status = advise<T>(line, args, command, std::move(data)); });
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
