#pragma once

#include <span>

#include "tables.hpp"

// 1 when any argument after the program name is exactly "-v", else 0. Other
// arguments are ignored without a message.
int verbose_requested(int argc, const char* const* argv);

// Measures every routine on every size, writes the report to standard output
// and returns the exit status: 0, or 2 when any sorted array was out of order.
int run_benchmark(int verbose, std::span<const routine_slot> routines = routine_slots);
