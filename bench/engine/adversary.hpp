// McIlroy's adversary, and the files of inputs that replay a case: asked by
// the certificate and by the worst-case search.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bench/engine/contenders.hpp"

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

// The sortbench-counts command that counts contender `id` on an input file
// written for it, at size n: the replay printed beside such a file.
std::string replay_command(const std::vector<std::string>& libraries, const std::string& file, const std::string& id,
                           std::uint32_t n);
