// The fixed tables of the benchmark: the array sizes with their repetition
// counts, and the routines with their report labels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sorts/sorts.hpp"

// Routine slots index the per-size results and the report labels.
inline constexpr std::size_t slot_count = 32;

struct test_case {
    std::int32_t num;   // elements per sorted array
    std::int32_t loop;  // base repetition count; loop * 10 sort calls are made
    std::array<double, slot_count> result;  // seconds per call, by slot; 0.0 = not measured
};

inline constexpr std::size_t case_count = 14;

// Each size sorts about ten million elements in all (num * loop * 10), so that
// every cell of the report costs about the same and needs a buffer of ~40 MB.
inline constexpr std::array<test_case, case_count> initial_test_cases{{
    {10, 100000, {}},  {20, 50000, {}},   {30, 33333, {}},   {40, 25000, {}},
    {50, 20000, {}},   {64, 15620, {}},   {100, 10000, {}},  {128, 7810, {}},
    {256, 3900, {}},   {512, 1950, {}},   {1024, 980, {}},   {10000, 100, {}},
    {100000, 10, {}},  {1000000, 1, {}},
}};

struct routine_slot {
    std::size_t slot;
    const char* label;  // exactly 18 characters, as the report prints it
    const char* id;     // the routine's name in code, for tests and the companion suite
    sort_func* routine;
};

// Adding a routine means one unit under sorts/ and one entry here.
inline constexpr std::array<routine_slot, 5> routine_slots{{
    {1, "shell sort        ", "shell_sort", shell_sort},
    {2, "comb sort         ", "comb_sort", comb_sort},
    {3, "quick+insert sort ", "ex_quick_sort", ex_quick_sort},
    {4, "c qsort           ", "c_qsort", c_qsort},
    {5, "my qsort          ", "my_QSORT", my_qsort_unsigned},
}};
