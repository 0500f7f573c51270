#include "grid.hpp"

#include <algorithm>
#include <cstdio>

unsigned quadratic_traits(unsigned shape)
{
    unsigned traits = 0;
    if ((shape & repeats_values) != 0) traits |= quadratic_on_equal_runs;
    if ((shape & defeats_middle_pivot) != 0) traits |= quadratic_on_middle_pivot_killer;
    if ((shape & turtles) != 0) traits |= quadratic_on_turtles;
    return traits;
}

std::uint32_t size_cap(const contender& c, const pattern_info& p)
{
    return (c.traits & quadratic_traits(p.shape)) != 0 ? quadratic_cap : UINT32_MAX;
}

std::string benchmark_name(const std::string& contender, std::string_view pattern, std::uint32_t n,
                           std::string_view type, bool cold, unsigned threads)
{
    std::string name = contender;
    return name.append("/").append(case_name(pattern, n, type, cold, threads));
}

std::string case_name(std::string_view pattern, std::uint32_t n, std::string_view type, bool cold, unsigned threads)
{
    std::string name(pattern);
    name.append("/").append(std::to_string(n));
    if (type != element_traits<std::int32_t>::name) name.append("/").append(type);
    if (threads != 0) name.append("/threads:").append(std::to_string(threads));
    if (cold) name.append("/cold");
    return name;
}

bool in_default_run(std::string_view type, pattern p, std::uint32_t n, bool cold)
{
    if (type == element_traits<std::int32_t>::name) {
        const bool classic = static_cast<std::size_t>(p) < classic_patterns;
        return classic || (!cold && n == 10000);
    }
    if (type == element_traits<rec100>::name || type == element_traits<rec1k>::name ||
        type == element_traits<url>::name) {
        return !cold && (p == pattern::random || p == pattern::ascending) && n == 10000;
    }
    const bool telling = p == pattern::random || p == pattern::ascending || p == pattern::descending ||
                         p == pattern::few_distinct || p == pattern::zipf;
    return !cold && telling && (n == 100 || n == 10000 || n == 1000000);
}

bool in_beyond_cache_run(std::string_view type, pattern p, bool cold)
{
    const bool integer = type == element_traits<std::int32_t>::name || type == element_traits<std::int64_t>::name;
    return integer && !cold && (p == pattern::random || p == pattern::ascending);
}

std::string huge_run_refusal(std::uint64_t available)
{
    const auto gb = [](std::uint64_t bytes) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / 1e9);
        return std::string(text);
    };
    if (available >= huge_run_bytes) return {};
    return "--huge needs about " + gb(huge_run_bytes) + " of memory; " + gb(available) + " is available";
}

bool in_default_parallel_run(std::string_view type, pattern p, std::uint32_t n, bool cold)
{
    return type == element_traits<std::int32_t>::name && (p == pattern::random || p == pattern::few_distinct) &&
           n >= 10000 && !cold;
}

std::vector<unsigned> thread_counts(unsigned limit)
{
    std::vector<unsigned> counts;
    for (unsigned k = 1; k < limit; k *= 2) counts.push_back(k);
    counts.push_back(std::max(limit, 1u));
    return counts;
}
