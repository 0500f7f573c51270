#pragma once

#include <array>
#include <cstdio>
#include <span>

#include "inputs/sizes.hpp"

// One routine's line of the report: its label and the seconds per call for
// each entry of test_cases, in table order.
struct report_row {
    const char* label;  // 18 characters
    std::array<double, case_count> seconds;
};

// Writes the result table: a heading, the size row, the count row, then the
// rows in the order given with the microseconds per call. A cell that is
// zero, negative or not a number prints "---".
void write_report(std::FILE* out, std::span<const report_row> rows);
