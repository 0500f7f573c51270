// A sort's worst case, searched for: whatever its design, an input that
// makes it compare more. The objective is the count, not the time, so a
// search with the same seed finds the same input on every machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/engine/contenders.hpp"

struct worst_options {
    std::uint32_t n = 10000;
    std::uint64_t seed = 1;
    // The comparisons the search may count, over all the sorts it runs:
    // 10 to 15 s here for a contender at 10,000 elements.
    std::uint64_t budget = 4000000000;
    // Where the search starts: empty for the best of every pattern and the
    // adversary; else one pattern's name or "adversary", to see what the
    // local changes find from there.
    std::string start;
};

struct worst_result {
    std::vector<std::int32_t> input;  // the worst found
    std::uint64_t comparisons = 0;    // its count
    std::uint64_t random_comparisons = 0;  // the count on the random pattern at n
    std::string start;                // where the search began: a pattern's name, or "adversary"
    std::uint64_t start_comparisons = 0;
    std::uint64_t evaluations = 0;   // sorts run
    std::uint64_t improvements = 0;  // changes that raised the count
    std::uint64_t spent = 0;         // comparisons counted in all
};

// Counts every pattern at n and McIlroy's adversary's input, starts from
// the one with the most comparisons, then changes it (swaps near and far,
// reversing, moving and sorting blocks either way, merging two adjacent
// runs, shuffling a few) and keeps each change that does not lower the
// count, until the budget is spent. `count` must sort by a comparison it
// counts and be deterministic.
// Throws std::invalid_argument for a start that names nothing.
worst_result search_worst(const count_ref<std::int32_t>& count, const worst_options& options);

// DIR/worst-CONTENDER-N-seedS.int32: little-endian int32 records, as --input
// reads them.
std::string worst_file(const std::string& dir, const std::string& contender, const worst_options& options);
