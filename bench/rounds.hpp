// Paired rounds: a group of contenders timed on the same arrays, round after
// round, each round visiting every member in a fresh random order. A burst
// of load or a drift of the machine then falls on every member of a round
// alike, and the ratio of two members within one round cancels it, where
// figures from separate runs or separate benchmarks add it instead. An A/B
// comparison is a group of two.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/grid.hpp"
#include "bench/run.hpp"

struct rounds_options {
    unsigned rounds = 30;          // rounds per case
    double round_seconds = 0.002;  // each member's share of a round, at least (whole batches)
    std::uint32_t seed = 1;        // of the order within each round
    unsigned threads = 1;          // for a parallel member
};

// One case of a group: nanoseconds per call of each member in each round.
struct rounds_case {
    std::string name;  // pattern/size[/type][/cold]
    std::string type;
    std::string pattern;
    std::uint32_t n = 0;
    bool cold = false;
    std::size_t batches = 0;  // batches per member and round
    std::size_t arrays = 0;   // arrays per batch
    std::vector<std::vector<double>> ns_per_call;  // [member][round]
};

// Runs the rounds of one case: each member's untimed warm-up call first,
// then options.rounds rounds. Every batch is checked after its clock read; a
// member that leaves a wrong result throws std::runtime_error naming it.
template <class T>
rounds_case run_rounds(suite_run& run, const std::vector<const contender*>& group, const pattern_info& p,
                       std::uint32_t n, bool cold, const rounds_options& options,
                       const tick_source& clock = monotonic_ticks);

// The cases of the grid (the default run's, or all with `full_grid`) that
// every member of the group takes, uncapped, whose name `wanted` accepts,
// each run in rounds; `progress` hears each case's name before it runs.
std::vector<rounds_case> run_group(suite_run& run, const std::vector<const contender*>& group, bool full_grid,
                                   const std::function<bool(const std::string&)>& wanted,
                                   const rounds_options& options,
                                   const std::function<void(const std::string&)>& progress = {});

// The cases as JSON: the group, the options, and every member's time in
// every round.
void write_rounds(std::FILE* out, const std::vector<const contender*>& group, const rounds_options& options,
                  const std::vector<rounds_case>& cases);
