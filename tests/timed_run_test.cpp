#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness/timed_run.hpp"

namespace {

constexpr char label[] = "shell sort        ";

void leave_unchanged(std::int32_t*, std::uint32_t) {}

void reverse_block(std::int32_t* a, std::uint32_t n)
{
    std::reverse(a, a + n);
}

struct captured {
    timed_result result;
    std::string out;
};

captured run_test(std::int32_t num, sort_func* routine, std::uint32_t runs, int verbose,
                  run_state& state)
{
    testing::internal::CaptureStdout();
    const timed_result result = test(num, routine, runs, verbose, label, state);
    return {result, testing::internal::GetCapturedStdout()};
}

TEST(TimedRun, CleanRoutinesPrintOnlyStartAndEnd)
{
    run_state state;
    for (sort_func* routine : {shell_sort, leave_unchanged}) {
        const captured quiet = run_test(100, routine, 50, 0, state);
        EXPECT_EQ(quiet.out, "");
        EXPECT_TRUE(quiet.result.allocated);
        EXPECT_GE(quiet.result.seconds_per_call, 0.0);

        const captured loud = run_test(100, routine, 50, 1, state);
        char end_line[64];
        std::snprintf(end_line, sizeof end_line, "shell sort         : end(%g)\n",
                      loud.result.seconds_per_call);
        EXPECT_EQ(loud.out, std::string("shell sort         : start\n") + end_line);
    }
    EXPECT_EQ(run_test(1, shell_sort, 10, 0, state).out, "");
    EXPECT_EQ(state.err_cnt, 0);
}

// 2^30 elements x 2^16 arrays: the byte count wraps to 16 in 32 bits, which
// would give a tiny buffer for the fill to overrun; the real size cannot be
// allocated, so the run must come back as out of memory, after the start line.
TEST(TimedRun, SizeBeyondMemoryComesBackUnallocated)
{
    run_state state;
    const captured run = run_test(1 << 30, shell_sort, 1u << 16, 1, state);
    EXPECT_FALSE(run.result.allocated);
    EXPECT_EQ(run.out, "shell sort         : start\nshell sort         : not enough memory.\n");
    EXPECT_FALSE(run_test(-1, shell_sort, 10, 0, state).result.allocated);
}

// Reversing blocks of 4 breaks three pairs per block: 34 blocks bring the
// count to 102, so the check stops after block 33. Later calls with the same
// state verify only their first block before the spent budget stops them.
TEST(TimedRun, ErrorBudgetIsSharedByAllCallsOfARun)
{
    run_state state;
    std::string expected;
    for (int r = 0; r <= 33; ++r) {
        const int base = 4 * r;
        for (int j = 0; j < 3; ++j) {
            expected += "shell sort         : <" + std::to_string(r) + "> [" + std::to_string(j) +
                        "] : error " + std::to_string(base + 3 - j) + "," +
                        std::to_string(base + 2 - j) + "\n";
        }
    }
    expected += "too many errors.\n";
    const captured first = run_test(4, reverse_block, 40, 0, state);
    EXPECT_EQ(first.out, expected);
    EXPECT_EQ(first.result.ordering_errors, 102);
    EXPECT_EQ(state.err_cnt, 102);

    EXPECT_EQ(run_test(3, reverse_block, 10, 0, state).out,
              "shell sort         : <0> [0] : error 2,1\n"
              "shell sort         : <0> [1] : error 1,0\n"
              "too many errors.\n");
    EXPECT_EQ(run_test(1, reverse_block, 10, 0, state).out, "too many errors.\n");
    EXPECT_EQ(run_test(5, shell_sort, 10, 1, state).out.find("shell sort         : start\ntoo many errors.\n"), 0u);
    EXPECT_EQ(state.err_cnt, 104);

    // A new run starts with the whole budget.
    run_state fresh;
    EXPECT_EQ(run_test(3, reverse_block, 2, 0, fresh).result.ordering_errors, 4);
}

}  // namespace
