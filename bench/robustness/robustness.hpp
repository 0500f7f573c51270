// How sorts behave when the comparison is wrong, and against an adversary.
//
// Each contender that takes a comparison (its counting form, through which a
// comparison under test reaches it) sorts int32 arrays under comparisons that
// are not a strict weak order, each run in a child process, with the array
// between two pages that may not be touched and a watchdog on the time. What
// happened is classified from how the child ended.
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

enum class bad_comparison {
    random,          // answers at random
    less_equal,      // <= instead of <
    reversed_later,  // the true order until call n, then the reverse
    throws,          // the true order until call n, then throws
};

inline constexpr bad_comparison all_bad_comparisons[] = {bad_comparison::random, bad_comparison::less_equal,
                                                         bad_comparison::reversed_later, bad_comparison::throws};

const char* name_of(bad_comparison c);

// In order of what it costs a caller, least first.
enum class outcome {
    kept,        // finished, with the same elements (in whatever order)
    threw_kept,  // threw, with the same elements
    unfinished,  // did not finish within the watchdog's time
    lost,        // finished, with elements lost or duplicated
    threw_lost,  // threw, with elements lost or duplicated
    before,      // read or wrote just before the array
    past,        // read or wrote just past the array's end
    far,         // faulted on memory far from the array, as a wrapped index reaches
    crashed,     // ended by another signal, such as the C library's abort on a corrupt heap
};

const char* name_of(outcome o);  // as the table says it
const char* key_of(outcome o);   // as JSON says it

// Sorts `input` with `count` (a counting form of int32) in a child process
// under comparison c; the child has `seconds` to finish.
outcome run_guarded(const count_ref<std::int32_t>& count, bad_comparison c, std::span<const std::int32_t> input,
                    unsigned seconds);

struct robustness_record {
    std::string contender;
    bad_comparison comparison;
    std::string input;  // pattern/size
    outcome result;
};

struct robustness_options {
    // Distinct values; many equal ones; a value repeated at the bottom
    // (zipf's 1), which takes an unguarded insertion past its sentinel.
    std::vector<pattern> patterns{pattern::random, pattern::few_distinct, pattern::zipf};
    // Whole pages of int32, so that the guards touch both ends.
    std::vector<std::uint32_t> sizes{1024, 16384};
    unsigned seconds = 2;
};

// The grid of a robustness run: the sequential sorts on int32, warm, on the
// patterns and sizes of `options`, quadratic cases included (the watchdog
// bounds them).
grid_options robustness_grid(const robustness_options& options);

// Every sequential contender with a counting form of int32, under every bad
// comparison (a throwing one only where no C code calls the comparison), on
// every case of robustness_grid(options).
std::vector<robustness_record> robustness(const std::vector<contender>& all, const robustness_options& options);

// The grid of the stability check: kv16 on every pattern at 10, 100, 1,000
// and 10,000 elements, warm, a parallel sort on two threads.
grid_options stability_grid();

// Where the contender was first seen to put equal keys out of their input
// order, as "pattern/size"; empty when it never was. Tried on kv16 input
// whose payload is the input position, on every case of stability_grid().
std::optional<std::string> first_instability(const contender& c);

// A line per contender and comparison: what happened, each outcome with the
// first input it happened on; or with `json`, every record.
void write_robustness(std::FILE* out, const std::vector<robustness_record>& records, bool as_json);

// The comparisons a sort makes against McIlroy's adversary ("A Killer
// Adversary for Quicksort"): the elements start as "gas", of unknown value,
// and each comparison of two gas elements freezes one, the one the sort seems
// to use as its pivot, to the next smallest value. The result is what the
// sort makes on the input it thereby chose: deterministic for a
// deterministic sort.
std::uint64_t adversary_comparisons(const count_ref<std::int32_t>& count, std::uint32_t n);
