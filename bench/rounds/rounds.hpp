// Paired rounds: a group of contenders timed on the same arrays, round after
// round, each round visiting every member in a fresh random order. A burst
// of load or a drift of the machine then falls on every member of a round
// alike, and the ratio of two members within one round cancels it, where
// figures from separate runs or separate benchmarks add it instead. An A/B
// comparison is a group of two.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/engine/grid.hpp"
#include "bench/engine/bench_run.hpp"
#include "bench/engine/json.hpp"
#include "bench/engine/paired.hpp"

struct rounds_options {
    unsigned min_rounds = 20;      // rounds per case before the interval is looked at
    unsigned rounds = 200;         // per case, at most
    double width = 0.02;           // stop once every ratio's 95% interval is within +-width of it
    double budget_seconds = 20;    // or once a case has run this long
    double round_seconds = 0.002;  // each member's share of a round, at least (whole batches)
    std::uint32_t seed = 1;        // of the order within each round
};

// One member's figures in one round are the suite's figures of a
// benchmark (call_figures): its sort's wall and CPU time per call, the floor
// of the same batches, and every counter beside the clock.
using round_figures = call_figures;

// One case of a group: what each member did in each round.
struct rounds_case {
    std::string name;  // pattern/size[/type][/cold]
    std::string type;
    std::string pattern;
    std::uint32_t n = 0;
    bool cold = false;
    std::vector<const contender*> members;  // those of the group that take the case; the first is the reference
    // The time that ratios are taken of: CPU time, which leaves out the time
    // slices that other processes took; wall time where a member runs on
    // several threads.
    bool cpu_figure = true;
    std::vector<std::size_t> batches;  // per member: its batches in each round
    std::size_t arrays = 0;   // arrays per batch
    std::vector<std::vector<round_figures>> rounds;  // [member][round]
    std::string stopped;                             // "interval", "budget" or "rounds"
    double widest = 0;  // the widest ratio's interval half-width, relative, when it stopped

    double figure(const round_figures& f) const { return cpu_figure ? f.cpu_ns : f.wall_ns; }
    // A member's figure in every round, as the JSON writes it (six
    // significant digits): the rounds stop on these, so that a reader of
    // the file finds the interval they stopped on.
    std::vector<double> written(std::size_t member) const;
};

// Runs the rounds of one case: each member's untimed warm-up call first,
// then rounds until every member's ratio to the first is known to
// options.width, or the budget or the most rounds are spent. Every batch is
// checked after its clock read; a member that leaves a wrong result throws
// std::runtime_error naming it.
template <class T>
rounds_case run_rounds(bench_run& run, const std::vector<const contender*>& group, const pattern_info& p,
                       std::uint32_t n, bool cold, const rounds_options& options, unsigned threads = 0,
                       const tick_source& clock = monotonic_ticks, const cost_meter& meter = thread_costs);

// The grid the rounds take their cases from: the suite's (all of it with
// `full_grid`), the user's data included, a parallel member at `threads`.
grid_options rounds_grid(const bench_run& run, bool full_grid, unsigned threads);

// A case of the grid and the members of the group that take it, uncapped.
struct planned_case {
    std::string name;  // pattern/size[/type][/cold]
    const pattern_info* p;
    std::uint32_t n;
    bool cold;
    std::vector<const contender*> members;  // in the group's order
    unsigned threads = 0;                   // what the grid gives a parallel member
};

// The cases of element type T in `grid` that the group runs: with every
// member where `whole_group`, else with the first member and one more at
// least.
template <class T>
std::vector<planned_case> plan_rounds(const std::vector<const contender*>& group, bool whole_group,
                                      const grid_options& grid)
{
    // The grid lists each contender's cases in turn: gather each case's
    // members, in the group's order, the cases in the order first listed.
    std::vector<planned_case> cases;
    for_each_case<T>(group, grid, [&](const grid_case& g) {
        if (g.capped) return;
        auto found =
            std::find_if(cases.begin(), cases.end(), [&](const planned_case& c) { return c.name == g.case_key; });
        if (found == cases.end()) {
            cases.push_back({g.case_key, g.p, g.n, g.cold, {}});
            found = cases.end() - 1;
        }
        found->members.push_back(g.c);
        if (g.threads != 0) found->threads = g.threads;
    });
    std::vector<planned_case> out;
    for (planned_case& c : cases) {
        const bool enough = whole_group ? c.members.size() == group.size()
                                        : c.members.size() >= 2 && c.members.front() == group.front();
        if (enough) out.push_back(std::move(c));
    }
    return out;
}


// The names of the cases run_group would run, without running them.
std::vector<std::string> group_cases(const std::vector<const contender*>& group, bool whole_group,
                                     const grid_options& grid, const std::function<bool(const std::string&)>& wanted);

// The cases of `grid` whose name `wanted` accepts, each run in rounds, type
// by type. `progress` hears each case's name before it runs.
std::vector<rounds_case> run_group(bench_run& run, const std::vector<const contender*>& group, bool whole_group,
                                   const grid_options& grid, const std::function<bool(const std::string&)>& wanted,
                                   const rounds_options& options,
                                   const std::function<void(const std::string&)>& progress = {});

// The cases as JSON: the group, the options, and every member's figures in
// every round, each case's ratios from them (rounds_ratios).
json rounds_document(const std::vector<const contender*>& group, const rounds_options& options, unsigned threads,
                     const std::vector<rounds_case>& cases);

// Sets a written case's "ratios" (each member's ratio to the first, with
// its interval and the processes it rests on) and "widest" from its
// "ns_per_call" series, split into processes by "rounds_per_process": one
// process's median ratio, or processes_ratio over several.
void rounds_ratios(json& written_case);

// The documents of several processes of one group as one: each case's
// rounds in process order, "rounds_per_process" saying where each process's
// begin, and the ratios over all of them. Throws std::runtime_error where
// the documents name different groups or cases.
json merge_processes(const std::vector<json>& documents);
