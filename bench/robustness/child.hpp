// The child process that runs one fault case: the only place a sort under a
// faulty comparison or failing allocations runs, so that whatever it does
// (crash, loop, scribble) ends with the child. It judges what the sort left
// and writes it, in memory the parent sees, or ends with a code that says
// which guard was hit.
#pragma once

#include <cstdint>
#include <span>

#include "bench/robustness/faults.hpp"

// How a child ends, for the outcomes it can see itself.
constexpr int code_done = 0, code_budget = 40, code_before = 30, code_past = 31, code_far = 32;

// What the child writes for the parent, in memory both see.
struct shared_state {
    std::uint64_t calls;
    std::uint64_t allocations;
    outcome what;
    bool threw;
    bool moved_from;
    bool stale;
    bool done;
};

// In the child: guards the arrays, catches a fault and an overrun of the
// alarm's `seconds`, sorts the case's input with the comparison of its fault,
// judges the result into `s`, and exits. With `from_start`, an array that
// does not fill whole pages starts at the left guard, not ends at the right.
[[noreturn]] void run_in_child(const fault_target& target, const fault_case& c, std::span<const std::int64_t> input,
                               unsigned seconds, bool from_start, shared_state& s);
