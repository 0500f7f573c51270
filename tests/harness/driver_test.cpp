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
// report is still written in full.
TEST(Benchmark, OrderingErrorsEndWithStatusTwoAfterTheReport)
{
    static const routine_info broken[] = {{"reverse", "shell sort        ", reverse_block, nullptr, 0}};
    testing::internal::CaptureStdout();
    const int status = run_benchmark(0, broken);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, exit_ordering_errors);
    EXPECT_EQ(out.find("shell sort         : <0> [0] : error 9,8\n"), 0u);
    EXPECT_NE(out.find("too many errors.\n"), std::string::npos);
    EXPECT_NE(out.find("\n,shell sort         ,"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 3), ",\n\n");
}

// Exchanges the first two elements of the fourth array of a million: one
// pair out of order in the whole run.
void break_one_pair(std::int32_t* a, std::uint32_t n)
{
    if (n == 1000000 && a[0] == 3000000) std::swap(a[0], a[1]);
}

TEST(Benchmark, ASingleOrderingErrorEndsWithStatusTwo)
{
    static const routine_info broken[] = {{"one_pair", "shell sort        ", break_one_pair, nullptr, 0}};
    testing::internal::CaptureStdout();
    const int status = run_benchmark(0, broken);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, exit_ordering_errors);
    EXPECT_EQ(out.find("shell sort         : <3> [0] : error 3000001,3000000\n"), 0u) << out.substr(0, 200);
    EXPECT_EQ(out.find(" : error ", out.find('\n')), std::string::npos) << "more than one error line";
}

struct closed {
    int status;
    std::string err;
};

// Writes `text` to `out` (if any), then closes it through close_output with
// the status 2, keeping what it says.
closed write_and_close(std::FILE* out, const char* text)
{
    if (*text != '\0') std::fputs(text, out);
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* diagnostics = open_memstream(&data, &size);
    const int status = close_output(out, diagnostics, exit_ordering_errors);
    std::fclose(diagnostics);
    closed result{status, std::string(data, size)};
    std::free(data);
    return result;
}

// A stream whose descriptor was closed behind its back, as with `>&-`.
std::FILE* stream_on_closed_descriptor()
{
    std::FILE* stream = fdopen(dup(STDOUT_FILENO), "w");
    if (stream != nullptr) close(fileno(stream));
    return stream;
}

TEST(CloseOutput, LostWritesEndWithStatusThreeAndTheirCause)
{
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    const closed on_full = write_and_close(full, "report\n");
    EXPECT_EQ(on_full.status, exit_write_error);
    EXPECT_EQ(on_full.err, "sortbench: write error: No space left on device\n");

    std::FILE* shut = stream_on_closed_descriptor();
    ASSERT_NE(shut, nullptr);
    const closed on_closed = write_and_close(shut, "report\n");
    EXPECT_EQ(on_closed.status, exit_write_error);
    EXPECT_EQ(on_closed.err, "sortbench: write error: Bad file descriptor\n");
}

TEST(CloseOutput, CompleteWritesKeepTheStatus)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    const closed written = write_and_close(file, "report\n");
    EXPECT_EQ(written.status, exit_ordering_errors);
    EXPECT_EQ(written.err, "");

    // Nothing written to a closed descriptor: nothing was lost.
    std::FILE* unused = stream_on_closed_descriptor();
    ASSERT_NE(unused, nullptr);
    EXPECT_EQ(write_and_close(unused, "").status, exit_ordering_errors);
}

}  // namespace
