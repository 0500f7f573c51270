// Which sort for the user's data: the contenders that meet the user's
// constraints race in paired rounds on one share of the data's arrays (the
// training share), and the winner is confirmed against the runner-up and
// std_sort in fresh rounds on the arrays the race never saw (the held-out
// share).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/engine/contenders.hpp"
#include "bench/engine/json.hpp"
#include "bench/engine/rounds.hpp"
#include "inputs/profile.hpp"
#include "inputs/user_data.hpp"

// How a file's values are cut: arrays of n, the first `training` of them
// raced on, the next `held_out` confirmed on; what is left over is unused.
struct data_split {
    std::uint32_t n = 0;
    std::size_t training = 0;
    std::size_t held_out = 0;
};

// The split of `count` values into arrays of `n` (0: four arrays, a
// quarter of the file each): the first half of the arrays train, the rest
// are held out. Empty when that leaves fewer than one array on either side
// or arrays of fewer than two elements.
std::optional<data_split> split_data(std::size_t count, std::uint32_t n);

// The arrays raced on and the arrays held out, each as data of its own: the
// race never sees an array the confirmation runs on.
struct advice_shares {
    std::unique_ptr<user_data> training;
    std::unique_ptr<user_data> held_out;
};
advice_shares share_out(const user_data& data, const data_split& split);

struct advice_constraints {
    bool stable = false;    // only contenders measured stable
    bool in_place = false;  // only contenders that allocate nothing during the call
    unsigned threads = 1;   // parallel contenders up to this many threads; 1: none
};

// Whether a contender meets the constraints, given what was measured of it:
// whether it kept equal keys in order, and its allocations per call (empty
// where unmeasured). `why_not` says why it does not.
struct candidate_facts {
    bool takes_type = false;
    bool quadratic_here = false;  // the suite caps it below the arrays' size on data of this shape
    std::optional<bool> stable;
    std::optional<double> allocations_per_call;
};
bool meets(const contender& c, const candidate_facts& facts, const advice_constraints& constraints,
           std::string* why_not = nullptr);

// Whether the suite caps `c` below arrays of `n` on data shaped as `p`: at
// the cap itself it still runs.
bool quadratic_here(const contender& c, const pattern_info& p, std::uint32_t n);

// What the held-out rounds say of the pick: its ratio to the reference, the
// runner-up against it, the fastest member there and the pick's time over
// that one's. Members 0, 1, 2 of `held_out` are the reference, the pick and
// the runner-up (the pick may be the reference itself: then 0 and 1 are the
// same contender). The reference counts as the fastest only where it meets
// the constraints itself (`reference_eligible`).
struct confirmation {
    paired_ratio pick_over_reference;
    paired_ratio pick_over_runner_up;
    bool tie = false;  // the pick against the runner-up: the interval crosses 1
    std::size_t best = 0;  // the member fastest on the held-out share
    paired_ratio regret;   // the pick over that member; 1 when it is the pick
};
confirmation confirm(const rounds_case& held_out, std::size_t pick, std::size_t runner_up,
                     bool reference_eligible = true);

// The held-out rounds of several processes, [process][member][round], each
// member's figures as written; the members in the same order in each. Their
// confirmation takes each ratio over the processes (processes_ratio), so
// that it holds in the next process too.
using held_out_rounds = std::vector<std::vector<std::vector<double>>>;
confirmation confirm(const held_out_rounds& held_out, std::size_t pick, std::size_t runner_up,
                     bool reference_eligible = true);

// The ratio of each member to the reference (member 0) in a race, and the
// members in order of it, fastest first (the reference among them).
std::vector<std::pair<std::size_t, paired_ratio>> ranked(const rounds_case& race);

// The same, of the members that meet the constraints (`candidate[m]`) only:
// the reference races in every group, but is picked only where it is a
// candidate itself.
std::vector<std::pair<std::size_t, paired_ratio>> ranked_candidates(const rounds_case& race,
                                                                    const std::vector<bool>& candidate);

// What one sort does per element on one array, to say why it won: its
// comparisons and moves; -1 where there is nothing to count (a radix or
// vector sort, or moves not counted), -2 where the count differs from call
// to call (it samples at random).
struct per_element_counts {
    double comparisons = -1;
    double moves = -1;
};

// What an advice found, as its printers read it: the console's few lines and
// the JSON object are two views of one record.
struct advice_record {
    std::string pick, runner_up, reference, best;  // best: the fastest held out
    confirmation verdict;
    unsigned processes = 1;                  // the confirmation's
    std::vector<double> pick_by_process;     // each process's own ratio of the pick to the reference
    std::vector<std::string> raced;          // the reference first
    std::vector<std::pair<std::string, std::string>> left_out;  // contender, why
    advice_constraints constraints;
    per_element_counts pick_counts, runner_up_counts;
    data_profile shape;
    std::string file, type, command;
    data_split split;
    std::size_t race_rounds = 0, heldout_rounds = 0;
    bool cpu_figure = true;
};

json advice_json(const advice_record& r);
void print_advice(std::FILE* out, const advice_record& r);
