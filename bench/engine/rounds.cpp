#include "rounds.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <stdexcept>

#include "bench/engine/context.hpp"
#include "bench/engine/json.hpp"

std::vector<double> rounds_case::written(std::size_t member) const
{
    std::vector<double> out;
    for (const round_figures& f : rounds[member]) out.push_back(significant(figure(f)));
    return out;
}

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
