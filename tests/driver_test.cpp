#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness/driver.hpp"

namespace {

TEST(Arguments, OnlyAnExactDashVTurnsProgressOn)
{
    struct row {
        std::vector<std::string> args;
        int verbose;
    };
    const row rows[] = {
        {{}, 0},
        {{"-v"}, 1},
        {{"-V"}, 0},
        {{"-vv"}, 0},
        {{"--v"}, 0},
        {{"v"}, 0},
        {{"-v "}, 0},
        {{""}, 0},
        {{"-x", "-v"}, 1},
        {{"-v", "extra", "-q"}, 1},
        {{"-v", "-v"}, 1},
        {{"--verbose", "-verbose"}, 0},
    };
    for (const row& r : rows) {
        std::vector<const char*> argv{"sortbench"};
        for (const std::string& a : r.args) argv.push_back(a.c_str());
        EXPECT_EQ(verbose_requested(static_cast<int>(argv.size()), argv.data()), r.verbose)
            << testing::PrintToString(r.args);
    }
}

void reverse_block(std::int32_t* a, std::uint32_t n)
{
    std::reverse(a, a + n);
}

// A routine that breaks order must not end in the status of a clean run; the
// report is still written in full. Runs in a child process, so that the
// process-wide error budget of this one stays untouched, with standard output
// sent to standard error, where the death-test matcher reads.
TEST(Benchmark, OrderingErrorsEndWithStatusTwoAfterTheReport)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    static const routine_slot broken[] = {{1, "shell sort        ", "reverse", reverse_block}};
    EXPECT_EXIT(
        {
            dup2(STDERR_FILENO, STDOUT_FILENO);
            const int status = run_benchmark(0, broken);
            std::fflush(stdout);
            std::exit(status);
        },
        testing::ExitedWithCode(2),
        "^.*shell sort         : <0> \\[0\\] : error 9,8\n.*too many errors\\.\n.*"
        "\n,shell sort         ,.*\n\n$");
}

}  // namespace
