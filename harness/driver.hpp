#pragma once

#include <cstdio>
#include <span>

#include "sorts/registry.hpp"

// The process exit statuses.
enum exit_status : int {
    exit_clean = 0,            // every array checked in order, report written
    exit_out_of_memory = 1,    // a buffer could not be allocated; no report
    exit_ordering_errors = 2,  // report written, but some array was out of order
    exit_write_error = 3,      // standard output could not be written in full
};

// 1 when any argument after the program name is exactly "-v", else 0. Other
// arguments are ignored without a message.
int verbose_requested(int argc, const char* const* argv);

// Measures every routine on every size, writes the report to standard output
// and returns the exit status: clean, out of memory or ordering errors.
int run_benchmark(int verbose, std::span<const routine_info> list = routines);

// Flushes and closes `out`. When anything written to it was lost, says so on
// `diagnostics` ("sortbench: write error: <cause>") and returns
// exit_write_error; otherwise returns `status`.
int close_output(std::FILE* out, std::FILE* diagnostics, int status);
