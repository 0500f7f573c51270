// The tick source for timing sort calls.
//
// Ticks come from CLOCK_MONOTONIC: monotonic, not affected by wall-clock
// changes, and on Linux x86-64 read through the vDSO in some tens of
// nanoseconds without a system call. One tick is one nanosecond, so the
// frequency is a fixed 1,000,000,000 ticks per second; the real resolution is
// the kernel clock source's (clock_getres reports 1 ns with a TSC). The read
// is not serializing: it is meant for windows far longer than a pipeline.
#pragma once

#include <cstdint>

// The current tick count.
std::uint64_t perf_counter();

// Ticks per second; never zero.
std::uint64_t perf_frequency();

// A tick source as the timed run sees it: a counter and its ticks per second.
// Tests substitute their own to check what lies between two reads.
struct tick_source {
    std::uint64_t (*counter)();
    std::uint64_t (*frequency)();
};

inline constexpr tick_source monotonic_ticks{perf_counter, perf_frequency};
