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
