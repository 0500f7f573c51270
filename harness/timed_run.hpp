#pragma once

#include <cstdint>

#include "platform/ticks.hpp"
#include "sorts/sorts.hpp"

// What the timed runs of one benchmark share, owned by the driver: the error
// budget and the tick source with its cached frequency.
struct run_state {
    // Ordering errors found so far. Never reset: one budget of error_budget
    // serves every call of test() in the run.
    std::int32_t err_cnt = 0;
    tick_source ticks = monotonic_ticks;
    std::uint64_t s = 0;  // ticks per second; 0 until first needed
};

inline constexpr std::int32_t error_budget = 100;

// What one call of test() found.
struct timed_result {
    bool allocated = false;         // false: no buffer, nothing was sorted or measured
    double seconds_per_call = 0.0;  // the average time of one routine call
    std::int32_t ordering_errors = 0;  // out-of-order pairs found by this call
};

// Sorts `runs` arrays of `num` ascending elements with `routine`, timing the
// calls as a whole, then checks every array for order. Ordering errors are
// printed to standard output against the budget in `state`. When the buffer
// cannot be allocated, prints "<name> : not enough memory." and returns a
// result with allocated == false; ending the run is the caller's decision.
timed_result test(std::int32_t num, sort_func* routine, std::uint32_t runs, int verbose,
                  const char* name, run_state& state);
