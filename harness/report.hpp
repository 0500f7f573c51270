#pragma once

#include <array>
#include <cstdio>

#include "tables.hpp"

// Writes the result table: a heading, the size row, the count row, then one
// row per labelled slot in slot order with the microseconds per call. A cell
// that is zero, negative or not a number prints "---".
void write_report(std::FILE* out, const std::array<test_case, case_count>& test_cases,
                  const std::array<const char*, slot_count>& sort_name);
