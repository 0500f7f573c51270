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

data_profile profile(const user_data& data, std::uint32_t n)
{
    data_profile out;
    out.n = n == 0 || n > data.count() ? data.count() : n;
    out.arrays = std::min<std::size_t>(data.count() / out.n, 16);
    std::array<double, 3> mine{};
    double runs = 0, distinct = 0;
    data.visit([&]<class T>(T) {
        const std::vector<T>& all = data.values<T>();
        for (std::size_t k = 0; k < out.arrays; ++k) {
            const disorder d = measure_disorder<T>(std::span(all).subspan(k * out.n, out.n));
            const auto f = features(d, out.n);
            for (std::size_t i = 0; i < mine.size(); ++i) mine[i] += f[i] / static_cast<double>(out.arrays);
            out.measures.inverted_fraction += d.inverted_fraction / static_cast<double>(out.arrays);
            runs += static_cast<double>(d.ascending_runs) / static_cast<double>(out.arrays);
            distinct += static_cast<double>(d.distinct) / static_cast<double>(out.arrays);
        }
    });
    out.measures.ascending_runs = static_cast<std::uint64_t>(std::llround(runs));
    out.measures.distinct = static_cast<std::uint64_t>(std::llround(distinct));
    const std::size_t size = std::min<std::size_t>(out.n, 1000000);
    double best = INFINITY;
    std::vector<std::int32_t> a(size);
    for (const pattern_info& p : all_patterns) {
        fill_pattern(p.p, a, 1);
        const auto theirs = features(measure_disorder<std::int32_t>(a), size);
        double distance = 0;
        for (std::size_t i = 0; i < mine.size(); ++i) distance += (mine[i] - theirs[i]) * (mine[i] - theirs[i]);
        if (distance < best) {
            best = distance;
            out.nearest = p.name;
        }
    }
    return out;
}
