// The fixed table of array sizes with their repetition counts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct test_case {
    std::int32_t num;   // elements per sorted array
    std::int32_t loop;  // base repetition count; loop * 10 sort calls are made
};

inline constexpr std::size_t case_count = 14;

// Each size sorts about ten million elements in all (num * loop * 10), so that
// every cell of the report costs about the same and needs a buffer of ~40 MB.
inline constexpr std::array<test_case, case_count> test_cases{{
    {10, 100000},  {20, 50000},  {30, 33333},  {40, 25000},   {50, 20000},
    {64, 15620},   {100, 10000}, {128, 7810},  {256, 3900},   {512, 1950},
    {1024, 980},   {10000, 100}, {100000, 10}, {1000000, 1},
}};

// The companion suite's sizes: sortbench's, and 1,000, the round size that
// comparisons between sorts are most often quoted at.
inline constexpr std::array<std::uint32_t, case_count + 1> suite_sizes{
    10, 20, 30, 40, 50, 64, 100, 128, 256, 512, 1000, 1024, 10000, 100000, 1000000};
