// How sorts behave against an adversary, and whether they keep equal keys
// in order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bench/engine/contenders.hpp"
#include "bench/engine/grid.hpp"
#include "inputs/patterns.hpp"

// The grid of the stability check: kv16 on every pattern at 10, 100, 1,000
// and 10,000 elements, warm, a parallel sort at `threads`.
grid_options stability_grid(unsigned threads);

// Where the contender was first seen to put equal keys out of their input
// order, as "pattern/size"; empty when it never was. Tried on kv16 input
// whose payload is the input position, on every case of stability_grid(),
// a parallel sort on `threads` (two or more, so that its threads can meet).
std::optional<std::string> first_instability(const contender& c, unsigned threads);

// A sort against McIlroy's adversary ("A Killer Adversary for Quicksort"):
// the elements start as "gas", of unknown value, and each comparison of two
// gas elements freezes one, the one the sort seems to use as its pivot, to
// the next smallest value. The input it thereby chose is what a
// deterministic sort makes the same comparisons on again.
struct adversary_result {
    std::uint64_t comparisons = 0;     // not_counted for a sort that says it has no count
    std::vector<std::int32_t> input;   // each position's value; the gas left is n
    // The sort scanned the input as a run and the adversary, answering
    // that scan, made it ascending: the count says nothing about the sort.
    bool sorted_input = false;
    // Fewer comparisons than lg(n!), what a comparison sort needs on most
    // inputs: the adversary answered a scan for runs with long runs (192
    // of them at 4,096 for flat_stable_sort), so it did not steer the sort.
    bool below_lower_bound = false;

    bool applies() const { return !sorted_input && !below_lower_bound; }
};
adversary_result run_adversary(const count_ref<std::int32_t>& count, std::uint32_t n);

// Where run_adversary's input is written for --input to replay: DIR/
// adversary-CONTENDER-N.int32, little-endian int32 records.
std::string adversary_file(const std::string& dir, const std::string& contender, std::uint32_t n);
// Writes values there as little-endian int32 records; false when the file
// cannot be written.
bool write_int32_file(const std::string& path, std::span<const std::int32_t> values);
