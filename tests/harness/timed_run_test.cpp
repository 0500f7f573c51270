#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <ctime>
#include <vector>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness/timed_run.hpp"
#include "platform/ticks.hpp"

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


// What the timed run hands to the routine and reads from the clock, recorded.
// The vectors are sized (and so touched) beforehand: growing them inside the
// timed window would fault in pages of their own.
struct recording {
    std::size_t calls = 0;
    std::vector<std::int32_t*> arrays;  // the array of each call
    std::vector<std::uint32_t> counts;
    std::vector<std::int32_t> first_values;
    std::vector<std::size_t> calls_at_read;  // routine calls made when the clock was read
    std::vector<long> faults_at_read;        // minor page faults at each clock read
    std::uint64_t ticks_per_call = 0;        // how far each call moves the fake clock
    std::uint64_t now = 0;
} rec;

void recording_routine(std::int32_t* a, std::uint32_t n)
{
    if (rec.calls < rec.arrays.size()) {
        rec.arrays[rec.calls] = a;
        rec.counts[rec.calls] = n;
        rec.first_values[rec.calls] = n > 0 ? a[0] : -1;
    }
    ++rec.calls;
    rec.now += rec.ticks_per_call;
}

long minor_faults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

std::uint64_t recording_counter()
{
    rec.calls_at_read.push_back(rec.calls);
    rec.faults_at_read.push_back(minor_faults());
    return rec.now;
}

// A microsecond frequency, as a source whose ticks were microseconds.
std::uint64_t microsecond_frequency()
{
    return 1'000'000;
}

// Every array is handed over once, in order, back to back, already ascending;
// the clock is read once before the first call and once after the last, with
// the fill (which faults in the buffer's fresh pages) before both; the result
// is the ticks per call over the source's own frequency.
TEST(TimedRun, TimesEveryCallAndNothingElse)
{
    constexpr std::int32_t num = 1000;
    constexpr std::uint32_t runs = 16000;  // 64 MB: many pages to fault in
    rec = {};
    rec.arrays.assign(runs, nullptr);
    rec.counts.assign(runs, 0);
    rec.first_values.assign(runs, 0);
    rec.calls_at_read.reserve(4);
    rec.faults_at_read.reserve(4);
    rec.ticks_per_call = 5000;
    rec.now = 123456789;
    run_state state;
    state.ticks = {recording_counter, microsecond_frequency};
    const timed_result r = run_test(num, recording_routine, runs, 0, state).result;

    ASSERT_EQ(rec.calls, runs);
    for (std::uint32_t k = 0; k < runs; ++k) {
        EXPECT_EQ(rec.arrays[k], rec.arrays[0] + std::size_t{k} * num) << "call " << k;
        EXPECT_EQ(rec.counts[k], static_cast<std::uint32_t>(num));
        EXPECT_EQ(rec.first_values[k], static_cast<std::int32_t>(k * num)) << "call " << k;
    }
    ASSERT_EQ(rec.calls_at_read, (std::vector<std::size_t>{0, runs}));
    EXPECT_LT(rec.faults_at_read[1] - rec.faults_at_read[0], 8) << "pages were touched inside the window";
    EXPECT_DOUBLE_EQ(r.seconds_per_call, 5000.0 / 1e6);
    EXPECT_EQ(state.s, 1'000'000u);
}

// One tick of the source must be one second over its frequency: a reading
// taken between two reads of the monotonic clock lies between them.
TEST(Ticks, CountAtTheStatedFrequencyOfTheFineClock)
{
    const std::uint64_t hz = perf_frequency();
    ASSERT_GT(hz, 0u);
    timespec before{}, after{};
    clock_gettime(CLOCK_MONOTONIC, &before);
    const std::uint64_t t = perf_counter();
    clock_gettime(CLOCK_MONOTONIC, &after);
    const double at = static_cast<double>(t) / static_cast<double>(hz);
    EXPECT_GE(at, before.tv_sec + before.tv_nsec * 1e-9 - 1e-6);
    EXPECT_LE(at, after.tv_sec + after.tv_nsec * 1e-9 + 1e-6);
}

// The smallest cells time a million calls of some nanoseconds each, about
// 10 ms: steps of more than a microsecond would be felt there. The smallest
// of many observed steps is what the clock resolves (a coarse clock steps by
// milliseconds), whatever preemption does to single steps.
TEST(Ticks, ResolveAMicrosecond)
{
    const double hz = static_cast<double>(perf_frequency());
    double smallest = 1.0;
    for (int step = 0; step < 100; ++step) {
        const std::uint64_t t0 = perf_counter();
        std::uint64_t t1 = t0;
        while (t1 == t0) t1 = perf_counter();
        smallest = std::min(smallest, static_cast<double>(t1 - t0) / hz);
    }
    EXPECT_LE(smallest, 1e-6);
}

// A routine that spins until the monotonic clock has moved 2 microseconds
// costs at least that per call; time per call must say so, within a factor
// that no load on the machine reaches.
void spin_two_microseconds(std::int32_t*, std::uint32_t)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(2);
    while (std::chrono::steady_clock::now() < until) {
    }
}

TEST(TimedRun, MeasuresARoutineOfKnownCost)
{
    run_state state;
    const double per_call = run_test(10, spin_two_microseconds, 2000, 0, state).result.seconds_per_call;
    EXPECT_GE(per_call, 2e-6);
    EXPECT_LT(per_call, 2e-4);
}

// Reversed blocks of 5 hold 4 errors each: the budget of 100 is reached
// exactly at block 24, which must end the check.
TEST(TimedRun, ErrorBudgetStopsAtExactlyOneHundred)
{
    run_state state;
    const captured run = run_test(5, reverse_block, 40, 0, state);
    EXPECT_EQ(run.result.ordering_errors, 100);
    EXPECT_NE(run.out.find("<24> [3]"), std::string::npos);
    EXPECT_EQ(run.out.find("<25>"), std::string::npos);
}

}  // namespace
