#include <gtest/gtest.h>

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

}  // namespace
