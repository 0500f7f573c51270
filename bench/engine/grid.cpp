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

std::vector<unsigned> thread_counts(unsigned limit)
{
    std::vector<unsigned> counts;
    for (unsigned k = 1; k < limit; k *= 2) counts.push_back(k);
    counts.push_back(std::max(limit, 1u));
    return counts;
}
