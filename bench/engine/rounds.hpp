// Paired rounds: a group of contenders timed on the same arrays, round after
// round, each round visiting every member in a fresh random order. A burst
// of load or a drift of the machine then falls on every member of a round
// alike, and the ratio of two members within one round cancels it, where
// figures from separate runs or separate benchmarks add it instead. An A/B
// comparison is a group of two.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <numeric>
#include <random>
#include <stdexcept>
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

namespace rounds_detail {

// Figures per call of `batches` batches of `c`, checked after the clock.
template <class T>
round_figures timed_share(prepared<T>& in, const contender& c, std::size_t batches, bool cold, unsigned threads,
                          const tick_source& clock, const cost_meter& meter, const std::string& name)
{
    if (c.parallel()) c.use_threads(threads);
    batch_totals totals;
    for (std::size_t b = 0; b < batches; ++b) {
        if (!measure_batch(in, c.of<T>().sort, cold, clock, meter, totals)) {
            throw std::runtime_error("wrong result: " + c.id + " did not sort " + name);
        }
    }
    return totals.per_call(clock.frequency(), c.parallel() ? threads : 1);
}

inline double widest_half_width(const rounds_case& c)
{
    double widest = 0;
    const std::vector<double> reference = c.written(0);
    for (std::size_t m = 1; m < c.members.size(); ++m) {
        widest = std::max(widest, paired_half_width(reference, c.written(m)));
    }
    return widest;
}

}  // namespace rounds_detail

template <class T>
rounds_case run_rounds(bench_run& run, const std::vector<const contender*>& group, const pattern_info& p,
                       std::uint32_t n, bool cold, const rounds_options& options, unsigned threads,
                       const tick_source& clock, const cost_meter& meter)
{
    const std::string type(element_traits<T>::name);
    rounds_case out;
    out.name = case_name(p.name, n, type, cold);
    out.type = type;
    out.pattern = p.name;
    out.n = n;
    out.cold = cold;
    out.members = group;
    out.cpu_figure = std::none_of(group.begin(), group.end(), [](const contender* c) { return c->parallel(); });
    const cost_meter& cpu_meter = out.cpu_figure ? meter : process_costs;
    prepared<T>& in = run.inputs<T>(p.p, n);
    out.arrays = in.copies;
    // A warm-up call each, and one timed batch each to size its share of a
    // round: as many batches as last round_seconds, so that a fast member's
    // share is not a few microseconds that one interrupt doubles.
    for (const contender* c : group) {
        std::copy_n(in.input.begin(), n, in.work.begin());
        if (c->parallel()) c->use_threads(threads);
        c->of<T>().sort(in.work.data(), n);
        const round_figures f = rounds_detail::timed_share(in, *c, 1, cold, threads, clock, cpu_meter, out.name);
        const double seconds = f.wall_ns * 1e-9 * static_cast<double>(in.copies);
        out.batches.push_back(
            seconds > 0 ? std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(options.round_seconds / seconds)))
                        : 1);
    }
    out.rounds.assign(group.size(), {});
    std::vector<std::size_t> order(group.size());
    std::iota(order.begin(), order.end(), 0);
    std::mt19937 rng(options.seed);
    const std::uint64_t start = clock.counter();
    const double budget_ticks = options.budget_seconds * static_cast<double>(clock.frequency());
    for (unsigned r = 1;; ++r) {
        std::shuffle(order.begin(), order.end(), rng);
        for (const std::size_t m : order) {
            out.rounds[m].push_back(
                rounds_detail::timed_share(in, *group[m], out.batches[m], cold, threads, clock, cpu_meter, out.name));
        }
        if (r < options.min_rounds) continue;
        out.widest = rounds_detail::widest_half_width(out);
        if (out.widest <= options.width) {
            out.stopped = "interval";
        } else if (static_cast<double>(clock.counter() - start) >= budget_ticks) {
            out.stopped = "budget";
        } else if (r >= options.rounds) {
            out.stopped = "rounds";
        }
        if (!out.stopped.empty()) break;
    }
    return out;
}

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
