#include "growth.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>

#include "bench/engine/jobs.hpp"
#include "bench/engine/json.hpp"
#include "inputs/disorder.hpp"
#include "inputs/patterns.hpp"

namespace {

// Thrown from the comparison when a call has made more operations than the
// budget allows.
struct over_budget {};

bool budgeted_less(void* state, const std::int32_t& x, const std::int32_t& y)
{
    const std::uint64_t budget = *static_cast<const std::uint64_t*>(state);
    if (sorts::tally_now.comparisons + sorts::tally_now.moves > budget) throw over_budget{};
    return x < y;
}

struct line {
    double slope = 0, at_to = 0, scatter = 0;
};

// Least squares of y on x, the line read at x_to.
line fit_line(std::span<const double> x, std::span<const double> y, double x_to)
{
    double mx = 0, my = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        mx += x[i];
        my += y[i];
    }
    mx /= x.size();
    my /= y.size();
    double sxy = 0, sxx = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
    }
    line l;
    l.slope = sxx > 0 ? sxy / sxx : 0;
    l.at_to = my + l.slope * (x_to - mx);
    for (std::size_t i = 0; i < x.size(); ++i) {
        l.scatter = std::max(l.scatter, std::abs(y[i] - (my + l.slope * (x[i] - mx))));
    }
    return l;
}

json points_json(const std::vector<growth_point>& points)
{
    auto list = json::array();
    for (const growth_point& p : points) list.push_back({{"size", p.n}, {"count", p.count}, {"distinct", p.distinct}});
    return list;
}

json fit_json(const std::optional<growth_fit>& fit)
{
    if (!fit) return nullptr;
    json classes = json::object();
    for (const class_fit& c : fit->classes) {
        classes[std::string(class_name(c.c))] = {{"constant", rounded(c.constant, 4)},
                                                 {"excess", rounded(c.excess, 4)},
                                                 {"drift", rounded(c.drift, 4)},
                                                 {"scatter", rounded(c.scatter, 4)}};
    }
    return {{"from", fit->from},
            {"to", fit->to},
            {"points", fit->points},
            {"exponent", rounded(fit->exponent, 4)},
            {"n_log2_n_exponent", rounded(n_log_n_exponent(fit->from, fit->to), 4)},
            {"follows", fit->follows ? json(std::string(class_name(*fit->follows))) : json(nullptr)},
            {"tight", fit->tight},
            {"classes", classes}};
}

// The class followed, its constant, its drift and the exponent: "n log n
// 1.201 drift x1.001 exponent 1.088", or what the counts did instead.
std::string fit_cell(const std::vector<growth_point>& points, const std::optional<growth_fit>& fit,
                     const growth_options& options)
{
    if (points.empty()) return "n/a";
    if (!fit) {
        const bool none = std::all_of(points.begin(), points.end(), [](const growth_point& p) { return p.count == 0; });
        return none ? "none at any size" : "too few sizes";
    }
    std::string cls;
    if (!fit->follows) {
        cls = "over n^2";
    } else if (fit->tight) {
        cls = class_name(*fit->follows);
    } else {
        const auto below = std::find(std::begin(growth_classes), std::end(growth_classes), *fit->follows);
        cls = below == std::begin(growth_classes) ? "below n" : "< " + std::string(class_name(*fit->follows));
    }
    const class_fit& c = fit->follows ? *fit->of(*fit->follows) : fit->classes.back();
    char text[128];
    std::snprintf(text, sizeof text, "%-9s %9.4g  x%.3f  exp %.3f", cls.c_str(), c.constant, c.drift, fit->exponent);
    std::string cell = text;
    if (fit->from != options.fit_from || fit->to != options.fit_to) {
        cell += " (" + std::to_string(fit->from) + ".." + std::to_string(fit->to) + ")";
    }
    return cell;
}

}  // namespace

std::string_view class_name(growth_class c)
{
    switch (c) {
    case growth_class::n:
        return "n";
    case growth_class::n_log_k:
        return "n log k";
    case growth_class::n_log_n:
        return "n log n";
    case growth_class::n_squared:
        return "n^2";
    }
    return "?";
}

std::optional<growth_class> class_named(std::string_view text)
{
    std::string words;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i).starts_with("²")) {
            words += "^2";
            i += std::string_view("²").size() - 1;
            continue;
        }
        const char c = text[i];
        if (c == '*' || c == '(' || c == ')' || c == '_' || std::isspace(static_cast<unsigned char>(c))) {
            if (!words.empty() && words.back() != ' ') words += ' ';
        } else {
            words += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    while (!words.empty() && words.back() == ' ') words.pop_back();
    for (std::size_t at; (at = words.find("log2")) != std::string::npos;) words.replace(at, 4, "log");
    for (std::size_t at; (at = words.find(" ^")) != std::string::npos;) words.erase(at, 1);
    for (std::size_t at; (at = words.find("^ ")) != std::string::npos;) words.erase(at + 1, 1);
    for (const growth_class c : growth_classes) {
        if (words == class_name(c)) return c;
    }
    if (words == "nlogn") return growth_class::n_log_n;
    if (words == "nlogk") return growth_class::n_log_k;
    return std::nullopt;
}

double class_size(growth_class c, double n, double distinct)
{
    switch (c) {
    case growth_class::n:
        return n;
    case growth_class::n_log_k:
        return n * std::max(1.0, std::log2(std::max(1.0, distinct)));
    case growth_class::n_log_n:
        return n * std::log2(n);
    case growth_class::n_squared:
        return n * n;
    }
    return n;
}

const class_fit* growth_fit::of(growth_class c) const
{
    for (const class_fit& f : classes) {
        if (f.c == c) return &f;
    }
    return nullptr;
}

double n_log_n_exponent(std::uint32_t from, std::uint32_t to)
{
    return std::log(class_size(growth_class::n_log_n, to, 0) / class_size(growth_class::n_log_n, from, 0)) /
           std::log(static_cast<double>(to) / from);
}

std::optional<growth_fit> fit_growth(std::span<const growth_point> points, std::uint32_t from, std::uint32_t to)
{
    std::vector<growth_point> chosen;
    for (const growth_point& p : points) {
        if (p.n >= from && p.n <= to && p.count > 0) chosen.push_back(p);
    }
    if (chosen.size() < 3 || chosen.back().n < 10.0 * chosen.front().n) {
        chosen.clear();
        std::uint32_t top = 0;
        for (const growth_point& p : points) {
            if (p.count > 0 && p.n <= to) top = std::max(top, p.n);
        }
        for (const growth_point& p : points) {
            if (p.count > 0 && p.n <= top && 100.0 * p.n >= top) chosen.push_back(p);
        }
    }
    std::sort(chosen.begin(), chosen.end(), [](const growth_point& a, const growth_point& b) { return a.n < b.n; });
    if (chosen.size() < 2) return std::nullopt;

    growth_fit fit;
    fit.from = chosen.front().n;
    fit.to = chosen.back().n;
    fit.points = chosen.size();
    std::vector<double> x, y;
    for (const growth_point& p : chosen) {
        x.push_back(std::log(static_cast<double>(p.n)));
        y.push_back(std::log(p.count));
    }
    const double x_from = x.front(), x_to = x.back();
    fit.exponent = fit_line(x, y, x_to).slope;
    // n log k stands apart from n log n only where few values repeat
    // often: at most sqrt(n) distinct at the largest size (organ_pipe's n/2
    // would make n log k read as n log n).
    const bool repeats = chosen.back().distinct > 0 && chosen.back().distinct <= std::sqrt(chosen.back().n) + 1;
    for (const growth_class c : growth_classes) {
        if (c == growth_class::n_log_k && !repeats) continue;
        std::vector<double> per;
        for (const growth_point& p : chosen) per.push_back(std::log(p.count / class_size(c, p.n, p.distinct)));
        const line l = fit_line(x, per, x_to);
        class_fit f{c, std::exp(l.at_to), l.slope, std::exp(l.slope * (x_to - x_from)), std::exp(l.scatter)};
        if (!fit.follows && f.follows()) {
            fit.follows = c;
            fit.tight = f.excess >= -max_excess;
        }
        fit.classes.push_back(f);
    }
    return fit;
}

growth_series grow(const contender& c, std::string_view pattern_name_wanted, const growth_options& options)
{
    const pattern_info* p = pattern_named(pattern_name_wanted);
    if (p == nullptr) throw std::invalid_argument("no pattern '" + std::string(pattern_name_wanted) + "'");
    growth_series s{c.id, std::string(p->name), {}, {}, {}, {}, {}};
    const count_ref<std::int32_t>& count = c.of<std::int32_t>().count;
    if (!count) return s;

    std::uint64_t budget = options.budget;
    const sorts::under_test_scope<std::int32_t> scope({budgeted_less, &budget});
    std::vector<std::int32_t> a;
    double last_ops = 0, last_n = 0;
    double growth = 1;  // the exponent of the operations between the last two sizes, from 1 to 2
    bool moves_counted = true;
    for (const std::uint32_t n : options.sizes) {
        // What the operations would come to at n, grown as they last grew;
        // past the budget, the sizes from here on are not counted. A sort
        // that grows faster than that is stopped by the budget in the call.
        const double ratio = last_n > 0 ? n / last_n : 1;
        if (last_ops * std::pow(ratio, growth) > static_cast<double>(options.budget)) {
            s.over_budget_from = n;
            break;
        }
        a.resize(n);
        fill_elements(p->p, std::span(a), 1);
        const double distinct = static_cast<double>(measure_disorder<std::int32_t>(a).distinct);
        sorts::op_counts counts;
        try {
            counts = count(a.data(), n);
        } catch (const over_budget&) {
            s.over_budget_from = n;
            break;
        }
        if (counts.comparisons == not_counted) break;  // samples at random: no count to fit
        if (!std::is_sorted(a.begin(), a.end())) {
            throw std::runtime_error("the counting form of " + c.id + " did not sort " + s.pattern + "/" +
                                     std::to_string(n));
        }
        moves_counted = moves_counted && counts.moves != not_counted;
        s.comparisons.push_back({n, static_cast<double>(counts.comparisons), distinct});
        if (moves_counted) s.moves.push_back({n, static_cast<double>(counts.moves), distinct});
        const double ops = static_cast<double>(counts.comparisons) + (moves_counted ? static_cast<double>(counts.moves) : 0);
        if (last_ops > 0 && ops > 0) growth = std::clamp(std::log(ops / last_ops) / std::log(ratio), 1.0, 2.0);
        last_ops = ops;
        last_n = n;
    }
    if (!moves_counted) s.moves.clear();
    s.comparisons_fit = fit_growth(s.comparisons, options.fit_from, options.fit_to);
    s.moves_fit = fit_growth(s.moves, options.fit_from, options.fit_to);
    return s;
}

std::vector<growth_series> measure_growth(std::span<const contender* const> contenders, const growth_options& options,
                                          const std::function<bool(const std::string&)>& wanted)
{
    struct job {
        const contender* c;
        std::string_view pattern;
    };
    std::vector<job> jobs;
    for (const contender* c : contenders) {
        if (!c->of<std::int32_t>().count) continue;
        for (const pattern_info& p : all_patterns) {
            const bool listed = options.patterns.empty() ||
                                std::find(options.patterns.begin(), options.patterns.end(), p.name) != options.patterns.end();
            if (listed && (!wanted || wanted(c->id + "/" + std::string(p.name)))) {
                jobs.push_back({c, p.name});
            }
        }
    }
    std::vector<growth_series> out(jobs.size());
    run_jobs(jobs.size(), options.threads, [&](std::size_t i) { out[i] = grow(*jobs[i].c, jobs[i].pattern, options); });
    // A contender that samples at random has no count to fit.
    std::erase_if(out, [](const growth_series& s) { return s.comparisons.empty(); });
    return out;
}

void write_growth(std::FILE* out, const std::vector<growth_series>& rows, const growth_options& options, bool as_json)
{
    if (as_json) {
        auto list = json::array();
        for (const growth_series& s : rows) {
            list.push_back({{"contender", s.contender},
                            {"pattern", s.pattern},
                            {"over_budget_from", or_null(s.over_budget_from)},
                            {"comparisons", points_json(s.comparisons)},
                            {"comparisons_fit", fit_json(s.comparisons_fit)},
                            {"moves", s.moves.empty() ? json(nullptr) : points_json(s.moves)},
                            {"moves_fit", fit_json(s.moves_fit)}});
        }
        write_json(out, {{"sizes", options.sizes},
                         {"fit_from", options.fit_from},
                         {"fit_to", options.fit_to},
                         {"budget", options.budget},
                         {"max_excess", max_excess},
                         {"series", list}});
        return;
    }
    std::fprintf(out, "%-17s %-20s %-52s %s\n", "contender", "pattern", "comparisons: class  constant  drift  exponent",
                 "moves");
    for (const growth_series& s : rows) {
        std::fprintf(out, "%-17s %-20s %-52s %s", s.contender.c_str(), s.pattern.c_str(),
                     fit_cell(s.comparisons, s.comparisons_fit, options).c_str(),
                     fit_cell(s.moves, s.moves_fit, options).c_str());
        if (s.over_budget_from) std::fprintf(out, "  (not counted from %u: over budget)", *s.over_budget_from);
        std::fputc('\n', out);
    }
    std::fprintf(out,
                 "\nclass: the slowest of n, n log k, n log n, n^2 for which count/f(n) has an exponent of at most\n"
                 "%.2f from %u to %u (least squares of log(count/f(n)) on log n); the constant is count/f(n) at\n"
                 "the largest size, the drift its growth across the sizes fitted, the exponent that of the count\n"
                 "(n log2 n's: %.3f). \"< n^2\": count/f(n) shrinks faster than that, so the count grows between\n"
                 "the class below and this one. Over budget: a size whose count, grown as it last grew, would pass %llu\n"
                 "comparisons and moves is not counted, and the fit takes the largest size counted and those\n"
                 "down to a hundredth of it.\n",
                 max_excess, options.fit_from, options.fit_to, n_log_n_exponent(options.fit_from, options.fit_to),
                 static_cast<unsigned long long>(options.budget));
}
