// A safety certificate for a sort: every fault of the fault table, at points
// swept across the whole sort, on several patterns and sizes and through
// every form of the contender's code a comparison reaches; then, per
// contender, the worst seen under each kind of fault, with the first case
// that showed it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "bench/engine/contenders.hpp"
#include "bench/engine/grid.hpp"
#include "bench/robustness/faults.hpp"
#include "bench/engine/adversary.hpp"

struct certificate_options {
    // Distinct values, many equal ones, both runs, and runs of ascending
    // values (where a sort that looks for runs takes other paths).
    std::vector<pattern> patterns{pattern::random, pattern::few_distinct, pattern::ascending, pattern::descending,
                                  pattern::asc_saws};
    // Below every contender's insertion cut-off (16 to 32), above it, and
    // whole pages of int32, so that the guards touch both ends.
    std::vector<std::uint32_t> sizes{10, 100, 1024, 16384};
    // Points spread evenly over a clean run's comparisons (or allocations),
    // from the first; the last call is tried as well.
    unsigned points = 16;
    // A sweep stops after this many of its points ran into the comparison
    // budget, each of which costs up to a quarter of a second: the loop is
    // seen by then, and how many later points would show it goes untold.
    unsigned loops_seen = 2;
    std::vector<fault> faults{};  // every fault of the table when empty
    std::uint32_t adversary_size = 10000;
    unsigned seconds = 20;  // after a sort stops comparing
};

// The grid a certificate runs on: the sequential sorts on int32, warm, on
// the patterns and sizes of `options`.
grid_options certificate_grid(const certificate_options& options);

// `k` points spread evenly over `total` calls from the first, then the last.
std::vector<std::uint64_t> sweep_points(std::uint64_t total, unsigned k);

struct fault_record {
    std::string contender;
    fault_case c;
    fault_result r;
};

// Every fault at every point on every case of `c` and every form it has.
std::vector<fault_record> fault_sweep(const contender& c, const certificate_options& options);

// A column of the certificate: the worst outcome seen, how many runs showed
// it, and the first of them.
struct certificate_cell {
    std::string verdict;    // what the table says
    std::string grade;      // "safe", "warning", "unsafe" or "n/a"
    std::string first_case; // the first run that showed it; empty when safe or not run
    unsigned runs = 0;      // runs that showed it
};

struct certificate_row {
    std::string contender;
    certificate_cell inconsistent, throwing, observation, allocation, loops, adversary;
    adversary_result adversary_run;  // input and count, for the replay file
};

certificate_row certify(const contender& c, const std::vector<fault_record>& records, std::uint32_t adversary_size);

// The certificate as a table, or as JSON; `replay` is the start of the
// command that replays a case (the program and its --contender flags).
void write_certificate(std::FILE* out, const std::vector<certificate_row>& rows, const std::string& replay,
                       std::uint32_t adversary_size, bool as_json);

// Per contender and fault: the worst outcome, at how many points, and the
// first case; or with `json`, every run.
void write_fault_runs(std::FILE* out, const std::vector<fault_record>& records, bool as_json);
