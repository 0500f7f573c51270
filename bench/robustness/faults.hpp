// What a sort does when its comparison goes wrong, one run at a time.
//
// A run sorts one input under one fault in a child process, with the array
// between two pages that may not be touched, a budget of comparisons, and a
// watchdog for a sort that stops comparing but does not return. Every element
// carries its identity beside its key, a bit a comparison may set, and, in
// the counting form, a value it takes when it is moved from, so that what
// happened to each element is read off the memory the sort worked on.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bench/engine/contenders.hpp"
#include "inputs/patterns.hpp"

// A comparison that goes wrong, from one of its calls (the case's point)
// on; the allocation faults make heap allocations fail from one of them on.
enum class fault : unsigned char {
    clean,  // no fault: how many comparisons and allocations a case makes
    always_less,
    never_less,
    random,
    less_equal,
    cyclic,
    reversed_1pct,
    reversed_33pct,
    streaks,
    incomparable,
    reversed,
    throws,
    observed,
    allocation,
    allocation_cyclic,
};

// The certificate's column a fault's runs are read into.
enum class fault_column { none, inconsistent, throwing, observation, allocation };

struct fault_info {
    fault kind;
    const char* key;  // in case names, JSON and --replay
    fault_column column;
    const char* models;
};

// Every fault but `clean`, in the certificate's order.
std::span<const fault_info> fault_table();
const fault_info& info_of(fault f);
std::optional<fault> fault_named(std::string_view key);

// Which code of a contender a run goes through: its counting form (counted
// int32 elements, which mark their moved-from state), or its sort on a plain,
// trivially copyable int32, int64 or string record, as the timed build sorts
// (a string's bytes carry no field a comparison could set: `observed` sees
// only what a throw does there).
enum class element_form { counted, int32, int64, string };
const char* name_of(element_form f);

// The forms a contender has. A C interface (c_qsort, a library's
// sortbench_sort_by_*) is thrown through too: a C++ caller's exception
// crosses C code that has unwind tables, as GCC gives it by default on
// x86-64 and glibc builds qsort with; where it has none, the run ends in
// std::terminate and says so.
struct fault_target {
    count_ref<std::int32_t> counted;
    sort_ref<std::int32_t> int32;
    sort_ref<std::int64_t> int64;
    sort_ref<text> string;
};
fault_target target_of(const contender& c);
bool has_form(const fault_target& t, element_form f);

struct fault_case {
    fault kind = fault::clean;
    element_form form = element_form::counted;
    const pattern_info* p = nullptr;
    std::uint32_t n = 0;
    std::uint64_t point = 0;  // the comparison call (or allocation) from which it acts, from 0

    // kind/form/pattern/size/point, as --replay takes it back.
    std::string name() const;
};
// The case a name gives; nullopt for a name that is not one.
std::optional<fault_case> case_named(std::string_view name);

// In order of what it costs a caller, least first.
enum class outcome : unsigned char {
    kept,                 // every element once (in whatever order, under a bad comparison)
    unsorted,             // every element once, out of order under a sound comparison
    stale,                // a change a comparison made to an element is not in the array
    quadratic,            // stopped at the budget, below 2 n^2 comparisons: quadratic or worse
    duplicated,           // an element twice, none missing
    lost,                 // an element missing, none twice
    lost_and_duplicated,  // both
    no_progress,          // past 2 n^2 comparisons, or stopped comparing without returning
    before,               // read or wrote just before the array
    past,                 // read or wrote just past its end
    far,                  // faulted on memory far from it, as a wrapped index reaches
    crashed,              // ended by another signal, such as the C library's abort on a corrupt heap
};
const char* key_of(outcome o);

struct fault_result {
    outcome what = outcome::kept;
    bool threw = false;
    bool moved_from = false;  // a moved-from element was left in the array
    bool stale = false;       // a change a comparison made is missing from an element
    std::uint64_t comparisons = 0;  // calls of the comparison, up to where it stopped
    std::uint64_t allocations = 0;  // heap allocations during the call
};

// The comparisons a run may make: 2 n^2 up to 1,024 elements, twice what
// the slowest quadratic sort makes (every pair both ways), so that one
// finishes there; 1,024 n above, n^2 / 16 at 16,384 (70 times n log2 n), so
// that a run stays within a quarter of a second.
std::uint64_t comparison_budget(std::uint32_t n);

// An element is (key << 16) | (position << 1) | seen: keys and positions
// below 2^15, so that every code is a non-negative int32; -1 is a moved-from
// element.
constexpr int key_shift = 16;
constexpr std::int64_t moved_from_code = -1;
constexpr std::uint32_t largest_n = 1u << 15;

// The encoded input of a case: pattern `p` with seed 1, each value's rank
// among the distinct values as its key, beside its position.
std::vector<std::int64_t> fault_input(pattern p, std::uint32_t n);

// Runs one case in a child process, twice where its array does not fill
// whole pages (once against each guard), and says the worse; the child has
// `seconds` to finish after it stops comparing. Where allocations cannot be made to fail, an
// allocation fault runs as its comparison alone.
fault_result run_fault(const fault_target& target, const fault_case& c, unsigned seconds = 20);

// One line for a result: "threw, LOST (a moved-from element left)".
std::string describe(const fault_result& r, std::uint32_t n);
