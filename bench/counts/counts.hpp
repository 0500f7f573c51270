// What sortbench-counts reports: the comparisons and element moves of one
// sort call, counted by the contenders' own code, and whether a contender
// keeps equal keys in their input order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/engine/grid.hpp"
#include "inputs/disorder.hpp"
#include "inputs/profile.hpp"

struct count_record {
    std::string contender;
    std::string type;
    std::string pattern;
    std::uint32_t size = 0;
    std::optional<std::uint64_t> comparisons;  // empty: not available (no comparisons to count)
    std::optional<std::uint64_t> moves;        // empty: not available

    // Comparisons per element, and over n log2 n (empty below 2 elements).
    std::optional<double> comparisons_per_element() const;
    std::optional<double> comparisons_per_n_log2_n() const;
    // Over log2(n!), the fewest comparisons any comparison sort needs in the
    // worst case (and on average) to tell n distinct elements' n! orders.
    std::optional<double> comparisons_over_bound() const;
};

// Counts every sequential contender on every type it takes, pattern and
// size of the grid (warm cases only: a count does not depend on the cache),
// the first array of each, leaving out capped cases; `wanted` selects by the
// name contender/pattern/size[/type]. A contender whose counting form leaves
// an array unsorted throws. A parallel sort is counted through its
// sequential form, where it has one.
std::vector<count_record> count_all(const std::vector<contender>& all, const grid_options& options,
                                    const std::function<bool(const std::string&)>& wanted);

// Writes the records as a table, or as a JSON list.
void write_counts(std::FILE* out, const std::vector<count_record>& records, bool as_json);

// Writes the disorder measures of every pattern at `n` elements.
void write_pattern_measures(std::FILE* out, std::uint32_t n, bool as_json);

void write_profile(std::FILE* out, const user_data& data, const data_profile& p, bool as_json);
