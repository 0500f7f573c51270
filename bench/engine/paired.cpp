#include "paired.hpp"

#include <boost/math/distributions/binomial.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double level = 0.95;
constexpr double inf = std::numeric_limits<double>::infinity();

}  // namespace

paired_ratio median_ratio(const std::vector<double>& a, const std::vector<double>& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    std::vector<double> ratios;
    for (std::size_t i = 0; i < n; ++i) {
        if (!(a[i] > 0) || !(b[i] > 0)) return {std::numeric_limits<double>::quiet_NaN(), 0, inf};
        ratios.push_back(b[i] / a[i]);
    }
    if (n == 0) return {std::numeric_limits<double>::quiet_NaN(), 0, inf};
    // The interval runs from the j-th smallest ratio to the j-th largest,
    // where fewer than j of n ratios fall below the median with probability
    // 2.5% at most: the binomial of n trials of one half.
    const boost::math::binomial_distribution<double> below(static_cast<double>(n), 0.5);
    std::size_t j = 0;
    while (j < n && boost::math::cdf(below, static_cast<double>(j)) <= (1 - level) / 2) ++j;
    std::sort(ratios.begin(), ratios.end());
    const double median = n % 2 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
    if (j == 0) return {median, 0, inf};
    return {median, ratios[j - 1], ratios[n - j]};
}

double paired_ratio::half_width() const
{
    if (!(ratio > 0) || !std::isfinite(high)) return inf;
    return std::max(high / ratio - 1, 1 - low / ratio);
}

double paired_half_width(const std::vector<double>& a, const std::vector<double>& b)
{
    return median_ratio(a, b).half_width();
}

paired_ratio processes_ratio(const std::vector<paired_series>& processes)
{
    if (processes.empty()) return {std::numeric_limits<double>::quiet_NaN(), 0, inf};
    if (processes.size() == 1) return median_ratio(processes.front().a, processes.front().b);
    std::vector<double> logs;
    paired_series pooled;
    for (const paired_series& p : processes) {
        const double r = median_ratio(p.a, p.b).ratio;
        if (!(r > 0)) return {std::numeric_limits<double>::quiet_NaN(), 0, inf};
        logs.push_back(std::log(r));
        pooled.a.insert(pooled.a.end(), p.a.begin(), p.a.end());
        pooled.b.insert(pooled.b.end(), p.b.begin(), p.b.end());
    }
    const double k = static_cast<double>(logs.size());
    double centre = 0;
    for (const double x : logs) centre += x / k;
    double squares = 0;
    for (const double x : logs) squares += (x - centre) * (x - centre);
    const double standard_error = std::sqrt(squares / (k - 1) / k);
    const boost::math::students_t t(k - 1);
    const double reach = boost::math::quantile(t, 1 - (1 - level) / 2) * standard_error;
    const paired_ratio all = median_ratio(pooled.a, pooled.b);
    return {std::exp(centre), std::min(std::exp(centre - reach), all.low), std::max(std::exp(centre + reach), all.high),
            static_cast<unsigned>(processes.size())};
}
