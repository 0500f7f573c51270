#include "inputs/profile.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "inputs/patterns.hpp"

namespace {

// Where a disorder lies, as three fractions that do not grow with n.
std::array<double, 3> features(const disorder& d, std::size_t n)
{
    const double log_n = std::log(static_cast<double>(std::max<std::size_t>(n, 2)));
    return {d.inverted_fraction, static_cast<double>(d.ascending_runs) / static_cast<double>(n),
            std::log(static_cast<double>(std::max<std::uint64_t>(d.distinct, 1))) / log_n};
}

}  // namespace

data_profile profile(const user_data& data)
{
    data_profile out;
    for_each_type([&]<class T>(T) {
        if (element_traits<T>::name == data.type()) out.measures = measure_disorder<T>(data.values<T>());
    });
    const std::size_t n = std::min<std::size_t>(data.count(), 1000000);
    const auto mine = features(out.measures, data.count());
    double best = INFINITY;
    std::vector<std::int32_t> a(n);
    for (const pattern_info& p : all_patterns) {
        fill_pattern(p.p, a, 1);
        const auto theirs = features(measure_disorder<std::int32_t>(a), n);
        double distance = 0;
        for (std::size_t i = 0; i < mine.size(); ++i) distance += (mine[i] - theirs[i]) * (mine[i] - theirs[i]);
        if (distance < best) {
            best = distance;
            out.nearest = p.name;
        }
    }
    return out;
}

