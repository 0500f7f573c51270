#include "rounds.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <stdexcept>

#include "bench/context.hpp"

namespace {

// Nanoseconds per call of `batches` batches of `c`, checked after the clock.
template <class T>
double timed_share(prepared<T>& in, const contender& c, std::size_t batches, bool cold, const rounds_options& options,
                   const tick_source& clock, const std::string& name)
{
    if (c.parallel()) c.use_threads(options.threads);
    std::uint64_t ticks = 0;
    for (std::size_t b = 0; b < batches; ++b) {
        ticks += time_batch(in, c.of<T>().sort, cold, clock).ticks;
        if (!batch_sorted(in)) {
            throw std::runtime_error("wrong result: " + c.id + " did not sort " + name);
        }
    }
    const double calls = static_cast<double>(batches * in.copies);
    return static_cast<double>(ticks) * 1e9 / static_cast<double>(clock.frequency()) / calls;
}

}  // namespace

template <class T>
rounds_case run_rounds(suite_run& run, const std::vector<const contender*>& group, const pattern_info& p,
                       std::uint32_t n, bool cold, const rounds_options& options, const tick_source& clock)
{
    const std::string type(element_traits<T>::name);
    rounds_case out{case_name(p.name, n, type, cold), type, std::string(p.name), n, cold, 1, 0, {}};
    prepared<T>& in = run.inputs<T>(p.p, n);
    out.arrays = in.copies;
    // A warm-up call each, and one timed batch each to size the rounds: the
    // slowest member's batch decides how many batches make a share.
    double slowest = 0;
    for (const contender* c : group) {
        std::copy_n(in.input.begin(), n, in.work.begin());
        if (c->parallel()) c->use_threads(options.threads);
        c->of<T>().sort(in.work.data(), n);
        slowest = std::max(slowest, timed_share(in, *c, 1, cold, options, clock, out.name) * 1e-9 *
                                        static_cast<double>(in.copies));
    }
    if (slowest > 0) {
        out.batches = std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(options.round_seconds / slowest)));
    }
    out.ns_per_call.assign(group.size(), {});
    std::vector<std::size_t> order(group.size());
    std::iota(order.begin(), order.end(), 0);
    std::mt19937 rng(options.seed);
    for (unsigned r = 0; r < options.rounds; ++r) {
        std::shuffle(order.begin(), order.end(), rng);
        for (const std::size_t m : order) {
            out.ns_per_call[m].push_back(timed_share(in, *group[m], out.batches, cold, options, clock, out.name));
        }
    }
    return out;
}

template rounds_case run_rounds<std::int32_t>(suite_run&, const std::vector<const contender*>&, const pattern_info&,
                                              std::uint32_t, bool, const rounds_options&, const tick_source&);

std::vector<rounds_case> run_group(suite_run& run, const std::vector<const contender*>& group, bool full_grid,
                                   const std::function<bool(const std::string&)>& wanted,
                                   const rounds_options& options,
                                   const std::function<void(const std::string&)>& progress)
{
    std::vector<rounds_case> out;
    for_each_type([&]<class T>(T) {
        const std::string_view type = element_traits<T>::name;
        if (!std::all_of(group.begin(), group.end(), [](const contender* c) { return bool(c->of<T>().sort); })) {
            return;
        }
        const auto each = [&](const pattern_info& p, std::uint32_t n, bool cold) {
            const std::string name = case_name(p.name, n, type, cold);
            for (const contender* c : group) {
                if (n > size_cap(*c, p)) return;
            }
            if (!wanted(name)) return;
            if (progress) progress(name);
            out.push_back(run_rounds<T>(run, group, p, n, cold, options));
        };
        for (const pattern_info& p : all_patterns) {
            for (const std::uint32_t n : suite_sizes) {
                for (const bool cold : {false, true}) {
                    if (full_grid || in_default_run(type, p.p, n, cold)) each(p, n, cold);
                }
            }
        }
        const user_data* data = run.data();
        if (data != nullptr && data->type() == type) {
            for (const std::uint32_t n : data->sizes()) {
                for (const bool cold : {false, true}) {
                    if (!cold || full_grid) each(data->pattern(), n, cold);
                }
            }
        }
    });
    return out;
}

void write_rounds(std::FILE* out, const std::vector<const contender*>& group, const rounds_options& options,
                  const std::vector<rounds_case>& cases)
{
    std::fputs("{\n  \"context\": {", out);
    const char* sep = "";
    for (const auto& [key, value] : environment_context()) {
        std::fprintf(out, "%s\"%s\": \"%s\"", sep, key.c_str(), json_escaped(value).c_str());
        sep = ", ";
    }
    std::fputs("},\n  \"group\": [", out);
    for (std::size_t m = 0; m < group.size(); ++m) {
        std::fprintf(out, "%s\"%s\"", m ? ", " : "", json_escaped(group[m]->id).c_str());
    }
    std::fprintf(out, "],\n  \"rounds\": %u, \"round_seconds\": %g, \"seed\": %u, \"threads\": %u,\n  \"cases\": [\n",
                 options.rounds, options.round_seconds, options.seed, options.threads);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const rounds_case& c = cases[i];
        std::fprintf(out,
                     "    {\"case\": \"%s\", \"type\": \"%s\", \"pattern\": \"%s\", \"size\": %u, \"cold\": %s, "
                     "\"batches_per_round\": %zu, \"arrays_per_batch\": %zu, \"ns_per_call\": [",
                     c.name.c_str(), c.type.c_str(), c.pattern.c_str(), c.n, c.cold ? "true" : "false", c.batches,
                     c.arrays);
        for (std::size_t m = 0; m < c.ns_per_call.size(); ++m) {
            std::fputs(m ? ", [" : "[", out);
            for (std::size_t r = 0; r < c.ns_per_call[m].size(); ++r) {
                std::fprintf(out, "%s%.6g", r ? ", " : "", c.ns_per_call[m][r]);
            }
            std::fputs("]", out);
        }
        std::fprintf(out, "]}%s\n", i + 1 < cases.size() ? "," : "");
    }
    std::fputs("  ]\n}\n", out);
}
