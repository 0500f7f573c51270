#include "advise.hpp"

#include <algorithm>
#include <cmath>

#include "bench/engine/grid.hpp"

std::optional<data_split> split_data(std::size_t count, std::uint32_t n)
{
    if (n == 0) n = static_cast<std::uint32_t>(std::min<std::size_t>(count / 4, UINT32_MAX));
    if (n < 2) return std::nullopt;
    const std::size_t arrays = count / n;
    if (arrays < 2) return std::nullopt;
    return data_split{n, arrays / 2, arrays - arrays / 2};
}

advice_shares share_out(const user_data& data, const data_split& split)
{
    return {data.share(split.n, 0, split.training), data.share(split.n, split.training, split.held_out)};
}

bool quadratic_here(const contender& c, const pattern_info& p, std::uint32_t n)
{
    return size_cap(c, p) < n;
}

bool meets(const contender& c, const candidate_facts& facts, const advice_constraints& constraints,
           std::string* why_not)
{
    const auto no = [&](const char* why) {
        if (why_not != nullptr) *why_not = why;
        return false;
    };
    if (!facts.takes_type) return no("does not take the data's type");
    if (c.pinned_target) return no("pinned to one instruction set: the original is raced");
    if (facts.quadratic_here) return no("quadratic on data that repeats values, at this size");
    if (c.parallel() && constraints.threads < 2) return no("parallel: --threads allows one thread");
    if (constraints.stable && !facts.stable) return no("not measured: it does not sort kv16");
    if (constraints.stable && !*facts.stable) return no("unstable: it put equal keys out of order");
    if (constraints.in_place && !facts.allocations_per_call) return no("allocations not counted here");
    if (constraints.in_place && *facts.allocations_per_call > 0) return no("allocates during the call");
    return true;
}

std::vector<std::pair<std::size_t, paired_ratio>> ranked(const rounds_case& race)
{
    std::vector<std::pair<std::size_t, paired_ratio>> out;
    const std::vector<double> reference = race.written(0);
    for (std::size_t m = 0; m < race.members.size(); ++m) out.emplace_back(m, median_ratio(reference, race.written(m)));
    std::stable_sort(out.begin(), out.end(), [](const auto& x, const auto& y) { return x.second.ratio < y.second.ratio; });
    return out;
}

std::vector<std::pair<std::size_t, paired_ratio>> ranked_candidates(const rounds_case& race,
                                                                    const std::vector<bool>& candidate)
{
    std::vector<std::pair<std::size_t, paired_ratio>> out = ranked(race);
    std::erase_if(out, [&](const auto& entry) { return !candidate.at(entry.first); });
    return out;
}

confirmation confirm(const rounds_case& held_out, std::size_t pick, std::size_t runner_up, bool reference_eligible)
{
    std::vector<std::vector<double>> members;
    for (std::size_t m = 0; m < held_out.members.size(); ++m) members.push_back(held_out.written(m));
    return confirm(held_out_rounds{members}, pick, runner_up, reference_eligible);
}

confirmation confirm(const held_out_rounds& held_out, std::size_t pick, std::size_t runner_up, bool reference_eligible)
{
    const auto over = [&](std::size_t base, std::size_t member) {
        std::vector<paired_series> processes;
        for (const auto& process : held_out) processes.push_back({process.at(base), process.at(member)});
        return processes_ratio(processes);
    };
    confirmation c;
    c.pick_over_reference = over(0, pick);
    c.pick_over_runner_up = over(runner_up, pick);
    c.tie = c.pick_over_runner_up.low <= 1 && c.pick_over_runner_up.high >= 1;
    double fastest = 0;
    bool found = false;
    for (std::size_t m = 0; m < held_out.front().size(); ++m) {
        if (m == 0 && !reference_eligible && pick != 0) continue;
        const double ratio = m == 0 ? 1.0 : over(0, m).ratio;
        if (!found || ratio < fastest) {
            fastest = ratio;
            c.best = m;
            found = true;
        }
    }
    c.regret = c.best == pick ? paired_ratio{1, 1, 1} : over(c.best, pick);
    return c;
}

namespace {

// An interval's upper end is infinite below six rounds.
json finite_or_null(double x)
{
    return std::isfinite(x) ? rounded(x, 4) : json(nullptr);
}

json count_or_null(double x)
{
    return x < 0 ? json(nullptr) : json(rounded(x, 3));
}

std::string figure(double x, const char* format = "%.3f")
{
    char text[64];
    std::snprintf(text, sizeof text, format, x);
    return text;
}

std::string interval(const paired_ratio& r)
{
    return "95%: " + figure(r.low) + " to " + (std::isfinite(r.high) ? figure(r.high) : std::string("inf"));
}

std::string counts_text(const per_element_counts& k)
{
    if (k.comparisons == -1) return "no comparisons to count (a radix or vector sort)";
    if (k.comparisons < 0) return "comparisons that differ from call to call (it samples at random)";
    return figure(k.comparisons, "%.1f") + " comparisons and " +
           (k.moves < 0 ? std::string("uncounted") : figure(k.moves, "%.1f")) + " moves per element";
}

}  // namespace

json advice_json(const advice_record& r)
{
    const confirmation& v = r.verdict;
    json by_process = json::array();
    for (const double x : r.pick_by_process) by_process.push_back(rounded(x, 6));
    json left_out = json::object();
    for (const auto& [id, why] : r.left_out) left_out[id] = why;
    return {{"pick", r.pick},
            {"runner_up", r.runner_up},
            {"reference", r.reference},
            {"ratio", rounded(v.pick_over_reference.ratio, 4)},
            {"interval", {rounded(v.pick_over_reference.low, 4), finite_or_null(v.pick_over_reference.high)}},
            {"interval_processes", r.processes},
            {"pick_over_reference_by_process", by_process},
            {"tie", v.tie},
            {"pick_over_runner_up", rounded(v.pick_over_runner_up.ratio, 4)},
            {"pick_over_runner_up_interval",
             {rounded(v.pick_over_runner_up.low, 4), finite_or_null(v.pick_over_runner_up.high)}},
            {"heldout_best", r.best},
            {"regret", rounded(v.regret.ratio, 4)},
            {"candidates", r.raced},
            {"left_out", left_out},
            {"constraints",
             {{"stable", r.constraints.stable}, {"in_place", r.constraints.in_place}, {"threads", r.constraints.threads}}},
            {"why",
             {{"pick_comparisons_per_element", count_or_null(r.pick_counts.comparisons)},
              {"pick_moves_per_element", count_or_null(r.pick_counts.moves)},
              {"runner_up_comparisons_per_element", count_or_null(r.runner_up_counts.comparisons)},
              {"runner_up_moves_per_element", count_or_null(r.runner_up_counts.moves)},
              {"nearest_pattern", r.shape.nearest},
              {"inverted_pairs", rounded(r.shape.measures.inverted_fraction, 4)},
              {"ascending_runs", r.shape.measures.ascending_runs},
              {"distinct", r.shape.measures.distinct}}},
            {"file", r.file},
            {"type", r.type},
            {"size", r.split.n},
            {"training_arrays", r.split.training},
            {"heldout_arrays", r.split.held_out},
            {"race_rounds", r.race_rounds},
            {"heldout_rounds", r.heldout_rounds},
            {"figure", r.cpu_figure ? "cpu" : "wall"},
            {"command", r.command}};
}

void print_advice(std::FILE* out, const advice_record& r)
{
    const confirmation& v = r.verdict;
    std::fprintf(out, "pick: %s, %s of %s on the held-out arrays (%s)\n", r.pick.c_str(),
                 figure(v.pick_over_reference.ratio).c_str(), r.reference.c_str(),
                 interval(v.pick_over_reference).c_str());
    if (r.runner_up == r.pick) {
        std::fprintf(out, "runner-up: none (one candidate)\n");
    } else {
        std::fprintf(out, "runner-up: %s; the pick is %s of it (%s)%s\n", r.runner_up.c_str(),
                     figure(v.pick_over_runner_up.ratio).c_str(), interval(v.pick_over_runner_up).c_str(),
                     v.tie ? ": a tie" : "");
    }
    if (r.best != r.pick) {
        std::fprintf(out, "held out, %s was fastest: the pick takes %s of its time\n", r.best.c_str(),
                     figure(v.regret.ratio).c_str());
    }
    std::fprintf(out, "why: %s makes %s; %s %s. The data is nearest to %s (%.3f inverted pairs, %zu runs, %zu distinct)\n",
                 r.pick.c_str(), counts_text(r.pick_counts).c_str(), r.runner_up.c_str(),
                 counts_text(r.runner_up_counts).c_str(), r.shape.nearest.c_str(), r.shape.measures.inverted_fraction,
                 static_cast<std::size_t>(r.shape.measures.ascending_runs),
                 static_cast<std::size_t>(r.shape.measures.distinct));
    std::fprintf(out, "raced %zu contenders on %zu arrays of %u (%s time), confirmed on %zu others in %s\n",
                 r.raced.size(), r.split.training, r.split.n, r.cpu_figure ? "CPU" : "wall", r.split.held_out,
                 r.processes == 1 ? "one process" : (std::to_string(r.processes) + " processes").c_str());
    std::fprintf(out, "repeat: %s\n", r.command.c_str());
}
