#include "claims.hpp"

#include <algorithm>
#include <cmath>

#include "bench/engine/json.hpp"
#include "bench/engine/stability.hpp"
#include "inputs/patterns.hpp"

namespace {

std::string trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return "";
    const auto last = s.find_last_not_of(" \t\r");
    return std::string(s.substr(first, last - first + 1));
}

std::string figure(const char* format, double v)
{
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

}  // namespace

std::string_view verdict_name(verdict v)
{
    switch (v) {
    case verdict::held:
        return "held";
    case verdict::broken:
        return "BROKEN";
    case verdict::not_judged:
        return "not judged";
    }
    return "?";
}

parsed_claims parse_claims(std::string_view text)
{
    parsed_claims out;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::string whole = trimmed(raw);
        if (whole.empty() || whole.front() == '#') continue;
        const auto hash = whole.find('#');
        claim c;
        c.text = trimmed(std::string_view(whole).substr(0, hash));
        if (hash != std::string::npos) c.source = trimmed(std::string_view(whole).substr(hash + 1));
        if (c.text == "stable") {
            c.subject = "stable";
            out.claims.push_back(std::move(c));
            continue;
        }
        const auto colon = c.text.find(':');
        if (colon == std::string::npos) {
            out.unreadable.push_back(c.text + ": neither \"PATTERN: CLASS\", \"worst: CLASS\" nor \"stable\"");
            continue;
        }
        c.subject = trimmed(std::string_view(c.text).substr(0, colon));
        c.grows = class_named(trimmed(std::string_view(c.text).substr(colon + 1)));
        if (c.subject != "worst" && pattern_named(c.subject) == nullptr) {
            out.unreadable.push_back(c.text + ": no pattern '" + c.subject + "'");
        } else if (!c.grows) {
            out.unreadable.push_back(c.text + ": the class is one of n, n log k, n log n, n^2");
        } else {
            out.claims.push_back(std::move(c));
        }
    }
    return out;
}

judged_claim judge(const std::string& contender, const claim& c, const growth_series* series, const worst_found* worst,
                   const std::optional<std::string>* unstable)
{
    judged_claim j{contender, c, verdict::not_judged, ""};
    if (c.subject == "stable") {
        if (unstable == nullptr) {
            j.evidence = "does not sort kv16, on which stability is checked";
        } else {
            j.result = unstable->has_value() ? verdict::broken : verdict::held;
            j.evidence = unstable->has_value() ? "equal keys out of input order on " + **unstable
                                               : "equal keys kept in input order on every pattern, 10 to 10,000";
        }
        return j;
    }
    if (c.subject == "worst") {
        if (worst == nullptr) {
            j.evidence = "its comparisons are not counted";
            return j;
        }
        const worst_result& large = worst->large;
        const growth_point points[] = {{worst->small_n, static_cast<double>(worst->small.comparisons), 0},
                                       {worst->n, static_cast<double>(large.comparisons), 0}};
        const auto fit = fit_growth(points, worst->small_n, worst->n);
        const class_fit* f = fit ? fit->of(*c.grows) : nullptr;
        if (f == nullptr) {
            j.evidence = "n log k does not apply to a worst case";
            return j;
        }
        const double n = worst->n;
        j.result = f->follows() ? verdict::held : verdict::broken;
        j.evidence = "worst found " + std::to_string(worst->small.comparisons) + " at " +
                     std::to_string(worst->small_n) + ", " + std::to_string(large.comparisons) + " at " +
                     std::to_string(worst->n) + " (" +
                     figure("%.2f", large.comparisons / class_size(growth_class::n_log_n, n, n)) + " n log2 n, " +
                     figure("%.2f", static_cast<double>(large.comparisons) / large.random_comparisons) +
                     "x random); count/" + std::string(class_name(f->c)) + " x" + figure("%.3f", f->drift) +
                     ", exponent " + figure("%+.3f", f->excess);
        return j;
    }
    if (series == nullptr || !series->comparisons_fit) {
        j.evidence = series == nullptr ? "its comparisons are not counted" : "too few sizes under the budget";
        return j;
    }
    const growth_fit& fit = *series->comparisons_fit;
    const class_fit* f = fit.of(*c.grows);
    if (f == nullptr) {
        j.evidence = "more than sqrt(n) distinct values in " + c.subject + ": n log k does not apply";
        return j;
    }
    j.result = f->follows() ? verdict::held : verdict::broken;
    j.evidence = "count/" + std::string(class_name(f->c)) + " " + figure("%.4g", f->constant) + " at " +
                 std::to_string(fit.to) + ", x" + figure("%.3f", f->drift) + " from " + std::to_string(fit.from) +
                 ", exponent " + figure("%+.3f", f->excess) + "; follows " +
                 (fit.follows ? std::string(class_name(*fit.follows)) : std::string("more than n^2"));
    return j;
}

std::vector<judged_claim> judge_claims(std::span<const contender* const> contenders, const std::vector<claim>& tried,
                                       const claims_options& options,
                                       std::vector<std::pair<std::string, worst_found>>* found)
{
    std::vector<judged_claim> out;
    for (const contender* c : contenders) {
        std::vector<claim> all = tried;
        if (tried.empty()) {
            parsed_claims own = parse_claims(c->claims);
            for (const std::string& why : own.unreadable) {
                claim bad;
                bad.text = why;
                out.push_back({c->id, bad, verdict::not_judged, "unreadable"});
            }
            all = own.claims;
        }
        if (all.empty()) continue;

        const bool counted = static_cast<bool>(c->of<std::int32_t>().count);
        growth_options growth = options.growth;
        growth.patterns.clear();
        bool worst_wanted = false, stable_wanted = false;
        for (const claim& k : all) {
            if (k.subject == "worst") {
                worst_wanted = true;
            } else if (k.subject == "stable") {
                stable_wanted = true;
            } else if (std::find(growth.patterns.begin(), growth.patterns.end(), k.subject) == growth.patterns.end()) {
                growth.patterns.push_back(k.subject);
            }
        }
        std::vector<growth_series> series;
        if (counted && !growth.patterns.empty()) {
            const contender* one[] = {c};
            series = measure_growth(one, growth);
        }
        std::optional<worst_found> worst;
        if (counted && worst_wanted) {
            worst_options small = options.worst;
            small.n = std::max<std::uint32_t>(2, options.worst.n / 10);
            small.budget = options.worst.budget / 10;
            worst = worst_found{small.n, options.worst.n, search_worst(c->of<std::int32_t>().count, small),
                                search_worst(c->of<std::int32_t>().count, options.worst)};
            // A sort that samples at random has no count to search on.
            if (worst->large.random_comparisons == not_counted) worst.reset();
            if (worst && found != nullptr) found->emplace_back(c->id, *worst);
        }
        std::optional<std::optional<std::string>> unstable;
        if (stable_wanted && c->of<kv16>().sort) unstable = first_instability(*c, options.growth.threads);

        for (const claim& k : all) {
            const auto s = std::find_if(series.begin(), series.end(),
                                        [&](const growth_series& x) { return x.pattern == k.subject; });
            out.push_back(judge(c->id, k, s == series.end() ? nullptr : &*s, worst ? &*worst : nullptr,
                                unstable ? &*unstable : nullptr));
        }
    }
    return out;
}

void write_claims(std::FILE* out, const std::vector<judged_claim>& judged, const growth_options& growth, bool as_json)
{
    if (as_json) {
        auto list = json::array();
        for (const judged_claim& j : judged) {
            list.push_back({{"contender", j.contender},
                            {"claim", j.what.text},
                            {"source", j.what.source},
                            {"verdict", std::string(verdict_name(j.result))},
                            {"evidence", j.evidence}});
        }
        write_json(out, list);
        return;
    }
    std::fprintf(out, "%-17s %-26s %-11s %s\n", "contender", "claim", "verdict", "figures that decide it");
    for (const judged_claim& j : judged) {
        std::fprintf(out, "%-17s %-26s %-11s %s\n", j.contender.c_str(), j.what.text.c_str(),
                     std::string(verdict_name(j.result)).c_str(), j.evidence.c_str());
        if (!j.what.source.empty()) std::fprintf(out, "%-17s   stated in: %s\n", "", j.what.source.c_str());
    }
    std::fprintf(out,
                 "\nPATTERN: f  held when count/f(n), fitted from %u to %u, has an exponent of at most %.2f\n"
                 "worst: f    held when the worst found at n/10 and at n, over f(n), has an exponent of at most %.2f\n"
                 "stable      held when no equal keys were seen out of input order (kv16, every pattern, 10 to "
                 "10,000)\n",
                 growth.fit_from, growth.fit_to, max_excess, max_excess);
}
