#include "counts.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

#include "bench/engine/json.hpp"
#include "inputs/disorder.hpp"

namespace {

template <class T>
void count_type(const std::vector<contender>& all, const grid_options& options,
                const std::function<bool(const std::string&)>& wanted, std::vector<count_record>& out)
{
    const std::string type(element_traits<T>::name);
    std::vector<T> a;
    for_each_case<T>(all, options, [&](const grid_case& g) {
        if (g.capped || g.c->pinned_target || !wanted(g.name)) return;
        count_record r{g.c->id, type, std::string(g.p->name), g.n, {}, {}};
        if (const count_ref<T>& count = g.c->of<T>().count) {
            a.resize(g.n);
            fill_case(*g.p, options.data, std::span(a), 0);
            const sorts::op_counts counts = count(a.data(), g.n);
            if (!std::is_sorted(a.begin(), a.end())) {
                throw std::runtime_error("the counting form did not sort " + g.name);
            }
            if (counts.comparisons != not_counted) r.comparisons = counts.comparisons;
            if (counts.moves != not_counted) r.moves = counts.moves;
        }
        out.push_back(std::move(r));
    });
}

std::string cell(const std::optional<std::uint64_t>& v)
{
    return v ? std::to_string(*v) : "n/a";
}

std::string cell(const std::optional<double>& v)
{
    if (!v) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", *v);
    return text;
}

}  // namespace

std::optional<double> count_record::comparisons_per_element() const
{
    if (!comparisons || size == 0) return std::nullopt;
    return static_cast<double>(*comparisons) / size;
}

std::optional<double> count_record::comparisons_per_n_log2_n() const
{
    if (!comparisons || size < 2) return std::nullopt;
    return static_cast<double>(*comparisons) / (size * std::log2(size));
}

std::optional<double> count_record::comparisons_over_bound() const
{
    if (!comparisons || size < 2) return std::nullopt;
    // log2(n!) through the log-gamma function: exact enough, and no overflow.
    return static_cast<double>(*comparisons) / (std::lgamma(static_cast<double>(size) + 1) / std::log(2.0));
}

std::vector<count_record> count_all(const std::vector<contender>& all, const grid_options& options,
                                    const std::function<bool(const std::string&)>& wanted)
{
    grid_options counted = options;
    counted.warm_only = true;
    counted.sequential_only = true;
    std::vector<count_record> out;
    for_each_type([&]<class T>(T) { count_type<T>(all, counted, wanted, out); });
    return out;
}

void write_counts(std::FILE* out, const std::vector<count_record>& records, bool as_json)
{
    if (as_json) {
        auto list = json::array();
        for (const count_record& r : records) {
            const auto number = [](const std::optional<double>& v) { return v ? rounded(*v) : json(nullptr); };
            list.push_back({{"contender", r.contender},
                            {"type", r.type},
                            {"pattern", r.pattern},
                            {"size", r.size},
                            {"comparisons", or_null(r.comparisons)},
                            {"moves", or_null(r.moves)},
                            {"comparisons_per_element", number(r.comparisons_per_element())},
                            {"comparisons_per_n_log2_n", number(r.comparisons_per_n_log2_n())},
                            {"comparisons_over_log2_n_factorial", number(r.comparisons_over_bound())}});
        }
        write_json(out, list);
        return;
    }
    std::fprintf(out, "%-16s %-7s %-20s %8s %14s %14s %10s %12s %12s\n", "contender", "type", "pattern", "size",
                 "comparisons", "moves", "cmp/elem", "cmp/nlog2n", "cmp/lg(n!)");
    for (const count_record& r : records) {
        std::fprintf(out, "%-16s %-7s %-20s %8u %14s %14s %10s %12s %12s\n", r.contender.c_str(), r.type.c_str(),
                     r.pattern.c_str(), r.size, cell(r.comparisons).c_str(), cell(r.moves).c_str(),
                     cell(r.comparisons_per_element()).c_str(), cell(r.comparisons_per_n_log2_n()).c_str(),
                     cell(r.comparisons_over_bound()).c_str());
    }
}

void write_pattern_measures(std::FILE* out, std::uint32_t n, bool as_json)
{
    std::vector<std::int32_t> a(n);
    auto list = json::array();
    if (!as_json) {
        std::fprintf(out, "%-20s %8s %16s %14s %10s\n", "pattern", "size", "inverted pairs", "ascending runs",
                     "distinct");
    }
    for (const pattern_info& p : all_patterns) {
        fill_pattern(p.p, a, 1);
        const disorder d = measure_disorder<std::int32_t>(a);
        const std::string name(p.name);
        if (as_json) {
            list.push_back({{"pattern", name},
                            {"size", n},
                            {"inverted_fraction", fixed(d.inverted_fraction, 6)},
                            {"ascending_runs", d.ascending_runs},
                            {"distinct", d.distinct}});
        } else {
            std::fprintf(out, "%-20s %8u %16.4f %14llu %10llu\n", name.c_str(), n, d.inverted_fraction,
                         static_cast<unsigned long long>(d.ascending_runs),
                         static_cast<unsigned long long>(d.distinct));
        }
    }
    if (as_json) write_json(out, list);
}

void write_profile(std::FILE* out, const user_data& data, const data_profile& p, bool as_json)
{
    const auto runs = static_cast<unsigned long long>(p.measures.ascending_runs);
    const auto distinct = static_cast<unsigned long long>(p.measures.distinct);
    if (as_json) {
        write_json(out, {{"file", data.path()},
                         {"pattern", std::string(data.pattern().name)},
                         {"type", data.type()},
                         {"size", data.count()},
                         {"array_size", p.n},
                         {"arrays_measured", p.arrays},
                         {"inverted_fraction", fixed(p.measures.inverted_fraction, 6)},
                         {"ascending_runs", runs},
                         {"distinct", distinct},
                         {"nearest", p.nearest}});
        return;
    }
    std::fprintf(out, "%-20s %-7s %10s %16s %14s %10s  %s\n", "pattern", "type", "size", "inverted pairs",
                 "ascending runs", "distinct", "nearest built-in pattern");
    std::fprintf(out, "%-20s %-7s %10zu %16.4f %14llu %10llu  %s\n", std::string(data.pattern().name).c_str(),
                 data.type().c_str(), p.n, p.measures.inverted_fraction, runs, distinct, p.nearest.c_str());
    if (p.arrays > 1) std::fprintf(out, "(each a mean over the first %zu arrays of %zu)\n", p.arrays, p.n);
}
