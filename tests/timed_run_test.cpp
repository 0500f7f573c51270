// The error budget of test() is process-wide and never reset. CTest runs each
// test in a process of its own; run directly, this file's tests run in the
// order written, and only the last one spends the budget.
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
    double seconds;
    std::string out;
};

captured run_test(std::int32_t num, sort_func* routine, std::uint32_t runs, int verbose)
{
    testing::internal::CaptureStdout();
    const double seconds = test(num, routine, runs, verbose, label);
    return {seconds, testing::internal::GetCapturedStdout()};
}

TEST(TimedRun, CleanRoutinesPrintOnlyStartAndEnd)
{
    ASSERT_EQ(ordering_errors(), 0) << "needs a process whose budget is untouched";
    for (sort_func* routine : {shell_sort, leave_unchanged}) {
        const captured quiet = run_test(100, routine, 50, 0);
        EXPECT_EQ(quiet.out, "");
        EXPECT_GE(quiet.seconds, 0.0);

        const captured loud = run_test(100, routine, 50, 1);
        char end_line[64];
        std::snprintf(end_line, sizeof end_line, "shell sort         : end(%g)\n", loud.seconds);
        EXPECT_EQ(loud.out, std::string("shell sort         : start\n") + end_line);
    }
    EXPECT_EQ(run_test(1, shell_sort, 10, 0).out, "");
    EXPECT_EQ(ordering_errors(), 0);
}

// 2^30 elements x 2^16 arrays: the byte count wraps to 16 in 32 bits, which
// would give a tiny buffer for the fill to overrun; the real size cannot be
// allocated, so the run must end as out of memory.
TEST(TimedRun, SizeBeyondMemoryEndsAsOutOfMemory)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            test(1 << 30, shell_sort, 1u << 16, 0, label);
            std::exit(0);
        },
        testing::ExitedWithCode(1), "");
}

// Reversing blocks of 4 breaks three pairs per block: 34 blocks bring the
// count to 102, so the check stops after block 33. Later calls verify only
// their first block before the spent budget stops them.
TEST(TimedRun, ErrorBudgetIsSharedByAllCallsAndNeverReset)
{
    ASSERT_EQ(ordering_errors(), 0) << "needs a process whose budget is untouched";
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
    EXPECT_EQ(run_test(4, reverse_block, 40, 0).out, expected);
    EXPECT_EQ(ordering_errors(), 102);

    EXPECT_EQ(run_test(3, reverse_block, 10, 0).out,
              "shell sort         : <0> [0] : error 2,1\n"
              "shell sort         : <0> [1] : error 1,0\n"
              "too many errors.\n");
    EXPECT_EQ(run_test(1, reverse_block, 10, 0).out, "too many errors.\n");
    EXPECT_EQ(run_test(5, shell_sort, 10, 1).out.find("shell sort         : start\ntoo many errors.\n"), 0u);
    EXPECT_EQ(ordering_errors(), 104);
}

}  // namespace
