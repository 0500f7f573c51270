// How a sort's counts grow with n: comparisons and moves counted on each
// pattern at sizes from 1,000 to 1,000,000, fitted against n, n log2 k,
// n log2 n and n^2. Counts are the same on every machine, so a fit is too.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bench/engine/contenders.hpp"

enum class growth_class { n, n_log_k, n_log_n, n_squared };

// Slowest-growing first, as a fit tries them.
inline constexpr growth_class growth_classes[] = {growth_class::n, growth_class::n_log_k, growth_class::n_log_n,
                                                  growth_class::n_squared};

// "n", "n log k", "n log n", "n^2".
std::string_view class_name(growth_class c);
// The class a claim names: the names above, "n²" and "n*log(n)"-like
// spellings with '*', '(', ')' and "log2" taken as spaces and "log".
std::optional<growth_class> class_named(std::string_view text);

// f(n) of a class; for n log k, k is the number of distinct values, and
// log2 k is taken as at least 1 (k = 1 or 2 costs a pass, not nothing).
double class_size(growth_class c, double n, double distinct);

// Counts follow a class, or grow no faster than it, when count / f(n) has
// an exponent of at most this: its constant grows by at most x1.26 from 10^4
// to 10^6, where n log2 n over n grows by x1.5 (an excess of 0.088) and
// n log2 n + 8 n over n log2 n shrinks by x1.2.
inline constexpr double max_excess = 0.05;

struct growth_point {
    std::uint32_t n = 0;
    double count = 0;
    double distinct = 0;  // distinct values in the input
};

struct class_fit {
    growth_class c{};
    // count / f(n) at the largest size fitted, from the least-squares line
    // of log(count / f(n)) on log n.
    double constant = 0;
    // The slope of that line: the exponent of count / f(n), 0 where the
    // counts follow f exactly.
    double excess = 0;
    // How far the constant moves from the smallest size fitted to the
    // largest: 1 where the counts follow f exactly.
    double drift = 0;
    // The largest distance of a point from the line, as a factor (1.02: 2%).
    double scatter = 0;
    bool follows() const { return excess <= max_excess; }
};

struct growth_fit {
    std::uint32_t from = 0, to = 0;  // the sizes fitted
    std::size_t points = 0;
    // The slope of log count on log n: 1 for n, 1.088 for n log2 n from
    // 10^4 to 10^6, 2 for n^2.
    double exponent = 0;
    std::vector<class_fit> classes;  // n log k only where at most sqrt(n) values are distinct
    // The slowest-growing class whose excess is at most max_excess; empty
    // for counts that grow faster than n^2.
    std::optional<growth_class> follows;
    // Whether its excess is also at least -max_excess: false where the
    // counts grow slower than it but faster than the class below (n^1.25
    // follows n^2 loosely), or slower than n.
    bool tight = false;

    const class_fit* of(growth_class c) const;
};

// Fits the points whose size is from `from` to `to`. Where fewer than three
// are there, or they span less than a factor 10 (sizes over the counting
// budget left out), it fits the largest size there is and those down to a
// hundredth of it. Empty below two points.
std::optional<growth_fit> fit_growth(std::span<const growth_point> points, std::uint32_t from, std::uint32_t to);

// The exponent n log2 n has between two sizes, for comparison with a fit's.
double n_log_n_exponent(std::uint32_t from, std::uint32_t to);

struct growth_options {
    // 1,000 to 1,000,000 at ratios of 2 and 2.5: 10^4 and 10^6 are among them.
    std::vector<std::uint32_t> sizes{1000, 2000, 5000, 10000, 20000, 50000, 100000, 200000, 500000, 1000000};
    std::uint32_t fit_from = 10000, fit_to = 1000000;
    // Comparisons plus moves one call may make. A size is skipped where the
    // size before it, grown as the counts last grew (from n to n^2), would
    // pass it; a call that passes it anyway is stopped there. 3 * 10^8 is
    // about a second here.
    std::uint64_t budget = 300000000;
    unsigned threads = 2;
    std::vector<std::string> patterns;  // empty: every pattern
};

struct growth_series {
    std::string contender;
    std::string pattern;
    std::vector<growth_point> comparisons;
    std::vector<growth_point> moves;  // empty where moves are not counted
    std::optional<std::uint32_t> over_budget_from;
    std::optional<growth_fit> comparisons_fit;
    std::optional<growth_fit> moves_fit;
};

// Counts each contender that has a counting form on int32, on each pattern
// and size whose "contender/pattern" `wanted` takes (every one without it),
// and fits the counts; in contender, then pattern order.
std::vector<growth_series> measure_growth(std::span<const contender* const> contenders, const growth_options& options,
                                          const std::function<bool(const std::string&)>& wanted = {});

// One contender on one pattern: the counts and their fits.
growth_series grow(const contender& c, std::string_view pattern, const growth_options& options);

void write_growth(std::FILE* out, const std::vector<growth_series>& rows, const growth_options& options, bool as_json);
