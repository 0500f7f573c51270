#include "rounds.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <stdexcept>

#include "bench/engine/context.hpp"
#include "bench/engine/json.hpp"

namespace {

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

double widest_half_width(const rounds_case& c)
{
    double widest = 0;
    const std::vector<double> reference = c.written(0);
    for (std::size_t m = 1; m < c.members.size(); ++m) {
        widest = std::max(widest, paired_half_width(reference, c.written(m)));
    }
    return widest;
}

}  // namespace

std::vector<double> rounds_case::written(std::size_t member) const
{
    std::vector<double> out;
    for (const round_figures& f : rounds[member]) out.push_back(significant(figure(f)));
    return out;
}

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
        const round_figures f = timed_share(in, *c, 1, cold, threads, clock, cpu_meter, out.name);
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
                timed_share(in, *group[m], out.batches[m], cold, threads, clock, cpu_meter, out.name));
        }
        if (r < options.min_rounds) continue;
        out.widest = widest_half_width(out);
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

// Every element type's, for the programs that run rounds of their own.
#define SORTBENCH_RUN_ROUNDS(T)                                                                                  \
    template rounds_case run_rounds<T>(bench_run&, const std::vector<const contender*>&, const pattern_info&,   \
                                       std::uint32_t, bool, const rounds_options&, unsigned, const tick_source&, \
                                       const cost_meter&);
SORTBENCH_RUN_ROUNDS(std::int32_t)
SORTBENCH_RUN_ROUNDS(std::int64_t)
SORTBENCH_RUN_ROUNDS(double)
SORTBENCH_RUN_ROUNDS(kv16)
SORTBENCH_RUN_ROUNDS(text)
SORTBENCH_RUN_ROUNDS(rec100)
SORTBENCH_RUN_ROUNDS(rec1k)
SORTBENCH_RUN_ROUNDS(url)
#undef SORTBENCH_RUN_ROUNDS

grid_options rounds_grid(const bench_run& run, bool full_grid, unsigned threads)
{
    grid_options grid;
    grid.full_grid = full_grid;
    grid.max_threads = threads;
    grid.widest_only = true;
    grid.data = run.data();
    return grid;
}

std::vector<std::string> group_cases(const std::vector<const contender*>& group, bool whole_group,
                                     const grid_options& grid, const std::function<bool(const std::string&)>& wanted)
{
    std::vector<std::string> out;
    for_each_type([&]<class T>(T) {
        for (const planned_case& c : plan_rounds<T>(group, whole_group, grid)) {
            if (wanted(c.name)) out.push_back(c.name);
        }
    });
    return out;
}

std::vector<rounds_case> run_group(bench_run& run, const std::vector<const contender*>& group, bool whole_group,
                                   const grid_options& grid, const std::function<bool(const std::string&)>& wanted,
                                   const rounds_options& options,
                                   const std::function<void(const std::string&)>& progress)
{
    std::vector<rounds_case> out;
    for_each_type([&]<class T>(T) {
        for (const planned_case& c : plan_rounds<T>(group, whole_group, grid)) {
            if (!wanted(c.name)) continue;
            if (progress) progress(c.name);
            out.push_back(run_rounds<T>(run, c.members, *c.p, c.n, c.cold, options, c.threads));
        }
    });
    return out;
}

json rounds_document(const std::vector<const contender*>& group, const rounds_options& options, unsigned threads,
                     const std::vector<rounds_case>& cases)
{
    json context = json::object();
    for (const auto& [key, value] : environment_context()) context[key] = value;
    for (const auto& [key, value] : counters_context()) context[key] = value;
    const auto names = [](const std::vector<const contender*>& members) {
        auto list = json::array();
        for (const contender* c : members) list.push_back(c->id);
        return list;
    };
    json doc = {{"context", context},
                {"group", names(group)},
                {"min_rounds", options.min_rounds},
                {"rounds", options.rounds},
                {"width", rounded(options.width)},
                {"budget_seconds", rounded(options.budget_seconds)},
                {"round_seconds", rounded(options.round_seconds)},
                {"seed", options.seed},
                {"threads", threads},
                {"processes", 1}};
    auto list = json::array();
    for (const rounds_case& c : cases) {
        const auto series = [&](auto field) {
            auto members = json::array();
            for (const std::vector<round_figures>& member : c.rounds) {
                auto values = json::array();
                for (const round_figures& f : member) values.push_back(rounded(field(f)));
                members.push_back(values);
            }
            return members;
        };
        list.push_back({{"case", c.name},
                        {"type", c.type},
                        {"pattern", c.pattern},
                        {"size", c.n},
                        {"cold", c.cold},
                        {"members", names(c.members)},
                        {"figure", c.cpu_figure ? "cpu" : "wall"},
                        {"batches_per_round", c.batches},
                        {"arrays_per_batch", c.arrays},
                        {"stopped", c.stopped},
                        {"widest", nullptr},
                        {"ratios", nullptr},
                        {"rounds_per_process", {c.rounds.front().size()}},
                        {"ns_per_call", series([&](const round_figures& f) { return c.figure(f); })},
                        {"wall_ns", series([](const round_figures& f) { return f.wall_ns; })},
                        {"cpu_ns", series([](const round_figures& f) { return f.cpu_ns; })},
                        {"copy_ns", series([](const round_figures& f) { return f.copy_ns; })},
                        {"read_ns", series([](const round_figures& f) { return f.read_ns; })}});
        // Every counter this machine counts, per call, as the suite has them.
        for (std::size_t i = 0; i < counter_count; ++i) {
            if (!call_counters[i].missing().empty()) continue;
            list.back()[std::string(call_counters[i].key)] = series([&](const round_figures& f) { return f.per_call[i]; });
        }
        // What the stopping rule judged: each member's median ratio to the
        // first, with its interval, of the figures as written.
        rounds_ratios(list.back());
    }
    doc["cases"] = list;
    return doc;
}

void rounds_ratios(json& written_case)
{
    const json& ns = written_case.at("ns_per_call");
    // A file from before processes were a level holds one process's rounds.
    if (!written_case.contains("rounds_per_process")) written_case["rounds_per_process"] = {ns.at(0).size()};
    std::vector<std::size_t> counts;
    for (const json& k : written_case.at("rounds_per_process")) counts.push_back(k.get<std::size_t>());
    const auto split = [&](std::size_t member) {
        std::vector<std::vector<double>> out;
        std::size_t at = 0;
        for (const std::size_t k : counts) {
            std::vector<double> one;
            for (std::size_t r = at; r < at + k; ++r) one.push_back(ns.at(member).at(r).get<double>());
            out.push_back(std::move(one));
            at += k;
        }
        return out;
    };
    const std::vector<std::vector<double>> reference = split(0);
    auto ratios = json::array({nullptr});
    double widest = 0;
    for (std::size_t m = 1; m < ns.size(); ++m) {
        const std::vector<std::vector<double>> mine = split(m);
        std::vector<paired_series> processes;
        for (std::size_t k = 0; k < counts.size(); ++k) processes.push_back({reference[k], mine[k]});
        const paired_ratio r = processes_ratio(processes);
        widest = std::max(widest, r.half_width());
        ratios.push_back({{"ratio", rounded(r.ratio)},
                          {"interval", {rounded(r.low), rounded(r.high)}},
                          {"processes", r.processes}});
    }
    written_case["ratios"] = ratios;
    written_case["widest"] = fixed(widest, 6);
}

json merge_processes(const std::vector<json>& documents)
{
    if (documents.empty()) throw std::runtime_error("no process's rounds to merge");
    json out = documents.front();
    unsigned processes = 0;
    for (const json& d : documents) {
        if (d.at("group") != out.at("group")) throw std::runtime_error("the processes timed different groups");
        processes += d.value("processes", 1U);
    }
    out["processes"] = processes;
    for (json& c : out.at("cases")) {
        if (!c.contains("rounds_per_process")) c["rounds_per_process"] = {c.at("ns_per_call").at(0).size()};
        for (std::size_t k = 1; k < documents.size(); ++k) {
            const json& cases = documents[k].at("cases");
            const auto same = std::find_if(cases.begin(), cases.end(), [&](const json& other) {
                return other.at("case") == c.at("case") && other.at("members") == c.at("members");
            });
            if (same == cases.end()) {
                throw std::runtime_error("process " + std::to_string(k + 1) + " did not run " +
                                         c.at("case").get<std::string>());
            }
            // Every series, [member][round], takes the next process's rounds.
            for (auto& [key, value] : c.items()) {
                const bool series = value.is_array() && !value.empty() &&
                                    std::all_of(value.begin(), value.end(), [](const json& v) { return v.is_array(); });
                if (!series) continue;
                const json& more = same->at(key);
                for (std::size_t m = 0; m < value.size(); ++m) {
                    value[m].insert(value[m].end(), more.at(m).begin(), more.at(m).end());
                }
            }
            for (const json& n : same->value("rounds_per_process", json::array({same->at("ns_per_call").at(0).size()}))) {
                c["rounds_per_process"].push_back(n);
            }
        }
        rounds_ratios(c);
    }
    return out;
}
