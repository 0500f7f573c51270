#include "faults.hpp"

#include <algorithm>
#include <charconv>
#include <random>
#include <stdexcept>

namespace {

const fault_info faults[] = {
    {fault::always_less, "always_less", fault_column::inconsistent,
     "every element before every other: a comparison that always says yes"},
    {fault::never_less, "never_less", fault_column::inconsistent,
     "no element before another: always equal, or always greater, as a less-than sees both"},
    {fault::random, "random", fault_column::inconsistent, "a coin toss: uninitialised or racing data"},
    {fault::less_equal, "less_equal", fault_column::inconsistent, "<= for <: equal elements each before the other"},
    {fault::cyclic, "cyclic", fault_column::inconsistent,
     "keys in a cycle mod 3 (rock, paper, scissors): not transitive, as a - b that overflows"},
    {fault::reversed_1pct, "reversed_1pct", fault_column::inconsistent, "1% of answers reversed at random: a rare glitch"},
    {fault::reversed_33pct, "reversed_33pct", fault_column::inconsistent, "a third of answers reversed at random"},
    {fault::streaks, "streaks", fault_column::inconsistent,
     "32 answers of yes in a row, then 32 true ones, over and over: a scan runs past where a sound one stops"},
    {fault::incomparable, "incomparable", fault_column::inconsistent,
     "the middle element before none and after none, as a NaN among doubles"},
    {fault::reversed, "reversed", fault_column::inconsistent, "the reverse order: a comparison whose state changes mid-sort"},
    {fault::throws, "throws", fault_column::throwing, "an exception from the comparison"},
    {fault::observed, "observed", fault_column::observation,
     "sets a mutable field of both elements on every call, then throws: a stale copy keeps the old field"},
    {fault::allocation, "allocation", fault_column::allocation,
     "heap allocations fail from the point on, the comparison sound: memory runs out"},
    {fault::allocation_cyclic, "allocation_cyclic", fault_column::allocation,
     "heap allocations fail from the point on, under the cyclic comparison throughout"},
};

const fault_info clean_info{fault::clean, "clean", fault_column::none, "a sound comparison"};

}  // namespace

std::span<const fault_info> fault_table()
{
    return faults;
}

const fault_info& info_of(fault f)
{
    for (const fault_info& i : faults) {
        if (i.kind == f) return i;
    }
    return clean_info;
}

std::optional<fault> fault_named(std::string_view key)
{
    if (key == clean_info.key) return fault::clean;
    for (const fault_info& i : faults) {
        if (key == i.key) return i.kind;
    }
    return std::nullopt;
}

const char* name_of(element_form f)
{
    switch (f) {
    case element_form::counted: return "counted";
    case element_form::int32: return "int32";
    case element_form::int64: return "int64";
    case element_form::string: return "string";
    }
    return "?";
}

fault_target target_of(const contender& c)
{
    return {c.of<std::int32_t>().count, c.of<std::int32_t>().judged, c.of<std::int64_t>().judged,
            c.of<text>().judged};
}

bool has_form(const fault_target& t, element_form f)
{
    switch (f) {
    case element_form::counted: return static_cast<bool>(t.counted);
    case element_form::int32: return static_cast<bool>(t.int32);
    case element_form::int64: return static_cast<bool>(t.int64);
    case element_form::string: return static_cast<bool>(t.string);
    }
    return false;
}

std::string fault_case::name() const
{
    return std::string(info_of(kind).key) + "/" + name_of(form) + "/" + std::string(p->name) + "/" +
           std::to_string(n) + "/" + std::to_string(point);
}

std::optional<fault_case> case_named(std::string_view name)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t slash = name.find('/', start);
        parts.push_back(name.substr(start, slash - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    if (parts.size() != 5) return std::nullopt;
    fault_case c;
    const auto kind = fault_named(parts[0]);
    if (!kind) return std::nullopt;
    c.kind = *kind;
    bool form_known = false;
    for (const element_form f : {element_form::counted, element_form::int32, element_form::int64, element_form::string}) {
        if (parts[1] == name_of(f)) {
            c.form = f;
            form_known = true;
        }
    }
    const pattern_info* p = pattern_named(parts[2]);
    if (!form_known || p == nullptr) return std::nullopt;
    c.p = p;
    const auto number = [](std::string_view s, auto& out) {
        const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), out);
        return error == std::errc{} && end == s.data() + s.size();
    };
    if (!number(parts[3], c.n) || !number(parts[4], c.point) || c.n == 0 || c.n > largest_n) return std::nullopt;
    return c;
}

const char* key_of(outcome o)
{
    switch (o) {
    case outcome::kept: return "kept";
    case outcome::unsorted: return "unsorted";
    case outcome::stale: return "stale";
    case outcome::quadratic: return "quadratic";
    case outcome::duplicated: return "duplicated";
    case outcome::lost: return "lost";
    case outcome::lost_and_duplicated: return "lost_and_duplicated";
    case outcome::no_progress: return "no_progress";
    case outcome::before: return "before";
    case outcome::past: return "past";
    case outcome::far: return "far";
    case outcome::crashed: return "crashed";
    }
    return "?";
}

std::uint64_t comparison_budget(std::uint32_t n)
{
    const std::uint64_t n64 = n;
    return n <= 1024 ? 2 * n64 * n64 + 64 : 1024 * n64;
}

std::vector<std::int64_t> fault_input(pattern p, std::uint32_t n)
{
    if (n > largest_n) throw std::invalid_argument("a fault's input holds at most 32,768 elements");
    std::vector<std::int32_t> values(n);
    fill_pattern(p, values, 1);
    std::vector<std::int32_t> distinct = values;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    std::vector<std::int64_t> out(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        const auto key = std::lower_bound(distinct.begin(), distinct.end(), values[i]) - distinct.begin();
        out[i] = (static_cast<std::int64_t>(key) << key_shift) | (static_cast<std::int64_t>(i) << 1);
    }
    return out;
}

std::string describe(const fault_result& r, std::uint32_t n)
{
    const double n2 = static_cast<double>(n) * n;
    char figure[64];
    std::string text;
    switch (r.what) {
    case outcome::kept: text = "kept"; break;
    case outcome::unsorted: text = "UNSORTED"; break;
    case outcome::stale: text = "STALE"; break;
    case outcome::quadratic:
        std::snprintf(figure, sizeof figure, "QUADRATIC OR WORSE (over %.2f n^2 comparisons)", r.comparisons / n2);
        text = figure;
        break;
    case outcome::duplicated: text = "DUPLICATED"; break;
    case outcome::lost: text = "LOST"; break;
    case outcome::lost_and_duplicated: text = "LOST AND DUPLICATED"; break;
    case outcome::no_progress:
        if (r.comparisons > 2 * n2) {
            std::snprintf(figure, sizeof figure, "NO PROGRESS (over %.1f n^2 comparisons)", r.comparisons / n2);
            text = figure;
        } else {
            text = "NO PROGRESS (stopped comparing)";
        }
        break;
    case outcome::before: text = "BEFORE THE ARRAY"; break;
    case outcome::past: text = "PAST THE ARRAY"; break;
    case outcome::far: text = "FAR OUTSIDE THE ARRAY"; break;
    case outcome::crashed: text = "CRASHED"; break;
    }
    if (r.threw) text = "threw, " + text;
    if (r.moved_from) text += " (a moved-from element left)";
    return text;
}
