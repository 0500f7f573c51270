// The suite's batches, run through Google Benchmark in this process with a
// scripted clock and routines that record what they are given.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <numeric>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "bench/suite/suite.hpp"
#include "platform/call_costs.hpp"

namespace {

// Collects every run Google Benchmark reports.
class collecting_reporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override { all.insert(all.end(), runs.begin(), runs.end()); }
    std::vector<Run> all;
};

// The scripted world: each sort call moves the clock by ticks_per_call, and
// the clock reads note how many calls had been made. The vectors are sized
// beforehand so that nothing grows between two reads. A tick source is a
// pair of plain functions, so the script they read is the test's own global.
struct script {
    std::uint64_t now = 1'000'000;
    std::uint64_t ticks_per_call = 0;
    std::size_t calls = 0;
    std::vector<std::size_t> calls_at_read;
    std::vector<std::uint64_t> array_hashes;  // of each array as it was handed over
    std::size_t break_from = SIZE_MAX;        // calls from this one on leave a wrong result
    std::size_t break_only = SIZE_MAX;        // this call alone leaves a wrong result
    bool fault_per_call = false;              // each call touches one fresh page
} world;

std::uint64_t scripted_counter()
{
    world.calls_at_read.push_back(world.calls);
    return world.now;
}

std::uint64_t nanosecond_frequency()
{
    return 1'000'000'000;
}

constexpr tick_source scripted_clock{scripted_counter, nanosecond_frequency};

std::uint64_t fnv1a(const std::int32_t* a, std::uint32_t n)
{
    std::uint64_t h = 14695981039346656037ull;
    for (const std::byte b : std::as_bytes(std::span(a, n))) {
        h = (h ^ static_cast<std::uint64_t>(b)) * 1099511628211ull;
    }
    return h;
}

// One minor page fault: a page mapped afresh and written.
void touch_fresh_page()
{
    void* page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(page, MAP_FAILED);
    *static_cast<volatile char*>(page) = 1;
    munmap(page, 4096);
}

// Records the array and sorts it; call k (counting the warm-up as 0) can be
// told to leave the array out of order.
void recording_sort(std::int32_t* a, std::uint32_t n)
{
    if (world.calls < world.array_hashes.size()) {
        world.array_hashes[world.calls] = fnv1a(a, n);
    }
    if (world.fault_per_call) touch_fresh_page();
    std::sort(a, a + n);
    if ((world.calls >= world.break_from || world.calls == world.break_only) && n >= 2) {
        std::swap(a[0], a[n - 1]);
    }
    ++world.calls;
    world.now += world.ticks_per_call;
}

void reset_world(std::uint64_t ticks_per_call)
{
    world = {};
    world.ticks_per_call = ticks_per_call;
}

std::size_t copies_of(pattern p, std::uint32_t n)
{
    return prepare<std::int32_t>(p, n)->copies;
}

// Runs one case of `run` for `batches` batches and `repetitions`
// repetitions; returns the runs reported (repetitions first, then any
// aggregates).
std::vector<benchmark::BenchmarkReporter::Run> run_case(bench_run& run, pattern p, std::uint32_t n, bool cold,
                                                        std::size_t batches, int repetitions = 1)
{
    benchmark::ClearRegisteredBenchmarks();
    world.calls_at_read.reserve(5 * batches * static_cast<std::size_t>(repetitions) + 2);
    register_sort_case(run, sort_case<std::int32_t>{"scripted", recording_sort, p, n, cold, scripted_clock, 0, {}})
        ->Iterations(static_cast<benchmark::IterationCount>(copies_of(p, n) * batches))
        ->Repetitions(repetitions);
    collecting_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::ClearRegisteredBenchmarks();
    return reporter.all;
}

// The reported time of one call is the time of one sort, whatever the number
// of arrays in a batch (6,553 of 10 elements, 1 of 1,000,000) or of batches.
TEST(SuiteBatch, ReportsTheTimeOfOneCall)
{
    for (const auto& [n, batches] : {std::pair{10u, 1u}, std::pair{10u, 3u}, std::pair{1000u, 4u},
                                     std::pair{1000000u, 2u}}) {
        SCOPED_TRACE("n " + std::to_string(n) + ", batches " + std::to_string(batches));
        reset_world(1234);
        bench_run run;
        const auto runs = run_case(run, pattern::ascending, n, false, batches);
        ASSERT_EQ(runs.size(), 1u);
        const auto& r = runs[0];
        EXPECT_FALSE(r.error_occurred);
        const std::size_t copies = copies_of(pattern::ascending, n);
        EXPECT_EQ(r.iterations, static_cast<benchmark::IterationCount>(copies * batches));
        EXPECT_NEAR(r.real_accumulated_time / static_cast<double>(r.iterations), 1234e-9, 1e-15);
        // The warm-up call, then every array of every batch once.
        EXPECT_EQ(world.calls, 1 + copies * batches);
    }
}

// One untimed call before the first clock read of a benchmark, none in later
// repetitions, and between the sort's two reads exactly the calls of one
// batch; the floor's reads (copy, read pass) come before them with no call.
TEST(SuiteBatch, WarmsUpOnceOutsideTheClock)
{
    reset_world(10);
    bench_run run;
    const std::size_t copies = copies_of(pattern::random, 100);
    run_case(run, pattern::random, 100, false, 2, 3);
    std::vector<std::size_t> expected;
    for (std::size_t b = 0; b < 6; ++b) {
        expected.insert(expected.end(), 4, 1 + b * copies);
        expected.push_back(1 + (b + 1) * copies);
    }
    EXPECT_EQ(world.calls_at_read, expected);
}

// Each array handed to the routine is the pattern made with seed k + 1 for
// array k of the batch, warm or cold.
TEST(SuiteBatch, HandsOverExactlyTheInputs)
{
    constexpr std::uint32_t n = 1000;
    for (const bool cold : {false, true}) {
        SCOPED_TRACE(cold ? "cold" : "warm");
        reset_world(1);
        bench_run run;
        const std::size_t copies = copies_of(pattern::random, n);
        world.array_hashes.assign(1 + 2 * copies, 0);
        run_case(run, pattern::random, n, cold, 2);
        ASSERT_EQ(world.calls, 1 + 2 * copies);
        for (std::size_t call = 1; call < world.calls; ++call) {
            std::vector<std::int32_t> made(n);
            fill_pattern(pattern::random, made, static_cast<std::uint32_t>((call - 1) % copies + 1));
            ASSERT_EQ(world.array_hashes[call], fnv1a(made.data(), n)) << "call " << call;
        }
    }
}

// The faults of every batch add up: a routine that takes one fault per call
// shows one per call over three batches.
TEST(SuiteBatch, CountsTheFaultsOfEveryBatch)
{
    reset_world(1);
    world.fault_per_call = true;
    bench_run run;
    const auto runs = run_case(run, pattern::random, 1000, false, 3);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_NEAR(runs[0].counters.at("faults_per_call").value, 1.0, 0.1);
}

// The CPU clock runs at half the scripted wall clock: half of every window
// is spent off the CPU.
cost_totals half_on_cpu()
{
    cost_totals t;
    t.cpu_ns = world.now / 2;
    t["allocs_per_call"] = 3 * world.calls;
    return t;
}

TEST(SuiteBatch, ReportsCpuTimeAndCostsPerCall)
{
    reset_world(1000);
    bench_run run;
    benchmark::ClearRegisteredBenchmarks();
    register_sort_case(run, sort_case<std::int32_t>{"scripted", recording_sort, pattern::random, 1000, false,
                                                    scripted_clock, 0, {}, {half_on_cpu, half_on_cpu}})
        ->Iterations(static_cast<benchmark::IterationCount>(copies_of(pattern::random, 1000) * 3));
    collecting_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::ClearRegisteredBenchmarks();
    ASSERT_EQ(reporter.all.size(), 1u);
    const auto& counters = reporter.all[0].counters;
    EXPECT_DOUBLE_EQ(counters.at("cpu_ns").value, 500.0);
    EXPECT_DOUBLE_EQ(counters.at("off_cpu").value, 0.5);
    if (allocations_counted()) {
        EXPECT_DOUBLE_EQ(counters.at("allocs_per_call").value, 3.0);
    }
}

// Per call from batch totals: the floor is the copy's time over the arrays,
// copies are the sort's time over it, and a sort on two threads is off the
// CPU only for what neither thread ran.
TEST(SuiteBatch, FiguresPerCall)
{
    batch_totals totals;
    totals.add({4000, 400, 100, {3000, {2, 1, 4, 4096, 8}}}, 4);
    totals.add({6000, 600, 100, {5000, {0, 1, 4, 4096, 0}}}, 6);
    const call_figures one = totals.per_call(1'000'000'000);
    EXPECT_DOUBLE_EQ(one.wall_ns, 1000);
    EXPECT_DOUBLE_EQ(one.cpu_ns, 800);
    EXPECT_DOUBLE_EQ(one.off_cpu, 0.2);
    EXPECT_DOUBLE_EQ(one.copy_ns, 100);
    EXPECT_DOUBLE_EQ(one.read_ns, 20);
    EXPECT_DOUBLE_EQ(one.copies, 10);
    EXPECT_DOUBLE_EQ(one["faults_per_call"], 0.2);
    EXPECT_DOUBLE_EQ(one["switches_per_call"], 0.2);
    EXPECT_DOUBLE_EQ(one["allocs_per_call"], 0.8);
    EXPECT_DOUBLE_EQ(one["alloc_bytes_per_call"], 819.2);
    EXPECT_DOUBLE_EQ(one["syscalls_per_call"], 0.8);
    // Ticks of 2 ns; on two threads 800 ns of CPU in 2000 ns of wall time.
    const call_figures two = totals.per_call(500'000'000, 2);
    EXPECT_DOUBLE_EQ(two.wall_ns, 2000);
    EXPECT_DOUBLE_EQ(two.off_cpu, 0.8);
    EXPECT_DOUBLE_EQ(two.copies, 10);
    // A CPU clock ahead of the wall clock is not a negative share.
    batch_totals busy;
    busy.add({100, 10, 5, {150, {}}}, 1);
    EXPECT_DOUBLE_EQ(busy.per_call(1'000'000'000).off_cpu, 0.0);
    EXPECT_DOUBLE_EQ(batch_totals{}.per_call(1'000'000'000).copies, 0.0);
}

// A clock that reads how many elements of the work area already equal the
// input: it moves across the copy, stands still across a read, and shows
// which window holds which.
const prepared<std::int32_t>* watched = nullptr;

std::uint64_t elements_in_place()
{
    return static_cast<std::uint64_t>(std::inner_product(watched->work.begin(), watched->work.end(),
                                                         watched->input.begin(), std::size_t{0}, std::plus<>(),
                                                         std::equal_to<>()));
}

TEST(SuiteBatch, FloorWindowsHoldTheCopyAndTheRead)
{
    for (const bool cold : {false, true}) {
        SCOPED_TRACE(cold ? "cold" : "warm");
        auto in = prepare<std::int32_t>(pattern::random, 1000);
        watched = in.get();
        std::sort(in->work.begin(), in->work.end());  // as a previous batch leaves it
        const std::uint64_t out_of_place = in->work.size() - elements_in_place();
        const batch_timing t = time_batch<std::int32_t>(*in, recording_sort, cold, {elements_in_place, nanosecond_frequency});
        EXPECT_EQ(t.copy_ticks, out_of_place);
        EXPECT_EQ(t.read_ticks, 0u);
    }
}

// The cold copy is an exact copy at every alignment and length.
TEST(SuiteBatch, ColdCopyIsExact)
{
    std::vector<std::byte> from(300), to(340);
    for (std::size_t i = 0; i < from.size(); ++i) from[i] = static_cast<std::byte>(i * 7 + 1);
    for (std::size_t offset = 0; offset < 20; ++offset) {
        for (std::size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 64u, 299u}) {
            std::fill(to.begin(), to.end(), std::byte{0});
            copy_cold(std::span(from).first(length), std::span(to).subspan(offset, length));
            EXPECT_TRUE(std::equal(from.begin(), from.begin() + static_cast<long>(length),
                                   to.begin() + static_cast<long>(offset)))
                << offset << " " << length;
            EXPECT_TRUE(std::all_of(to.begin() + static_cast<long>(offset + length), to.end(),
                                    [](std::byte b) { return b == std::byte{0}; }));
        }
    }
}

// A wrong array anywhere is found: the last one of the first batch, or every
// array from the second batch on. The benchmark is marked and the run fails.
TEST(SuiteBatch, FindsAWrongArrayAnywhereInAnyBatch)
{
    constexpr std::uint32_t n = 64;
    const std::size_t copies = copies_of(pattern::random, n);
    for (const bool later_batches : {false, true}) {
        SCOPED_TRACE(later_batches ? "from the second batch on" : "last array of the first batch");
        reset_world(1);
        if (later_batches) {
            world.break_from = 1 + copies;
        } else {
            world.break_only = copies;
        }
        bench_run run;
        testing::internal::CaptureStderr();
        const auto runs = run_case(run, pattern::random, n, false, 3);
        const std::string err = testing::internal::GetCapturedStderr();
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_TRUE(runs[0].error_occurred);
        EXPECT_EQ(runs[0].error_message, "wrong result: not ordered, or not a permutation of the input");
        EXPECT_EQ(err, "WRONG RESULT: scripted did not sort its input\n");
        EXPECT_EQ(run.wrong_results(), 1u);
    }
}

// kv16 results are checked by key order and the multiset of records: equal
// keys may come in any order, but a lost or altered payload is wrong.
TEST(SuiteBatch, ChecksRecordsByKeyOrderAndPermutation)
{
    auto in = prepare<kv16>(pattern::distinct_2, 50, 2);
    std::copy(in->input.begin(), in->input.end(), in->work.begin());
    for (std::size_t k = 0; k < 2; ++k) {
        std::sort(in->work.begin() + k * 50, in->work.begin() + (k + 1) * 50,
                  [](const kv16& x, const kv16& y) { return x.key < y.key || (x.key == y.key && x.value > y.value); });
    }
    EXPECT_TRUE(batch_sorted(*in)) << "equal keys in reverse input order are still sorted";
    in->work[70].value += 1000;
    EXPECT_FALSE(batch_sorted(*in)) << "an altered payload";
    in->work[70].value -= 1000;
    std::swap(in->work[10], in->work[40]);
    EXPECT_FALSE(batch_sorted(*in)) << "keys out of order";
}

// A record torn anywhere is a wrong result: every byte of every record type,
// not only its key or the first word of its payload.
TEST(SuiteBatch, ChecksEveryByteOfARecord)
{
    const auto every_byte = [](auto element) {
        using T = decltype(element);
        auto in = prepare<T>(pattern::random, 20, 1);
        in->work = in->expected;
        ASSERT_TRUE(batch_sorted(*in));
        auto* bytes = reinterpret_cast<unsigned char*>(&in->work[7]);
        for (std::size_t b = 0; b < sizeof(T); ++b) {
            bytes[b] ^= 0x10;
            EXPECT_FALSE(batch_sorted(*in)) << element_traits<T>::name << " byte " << b;
            bytes[b] ^= 0x10;
        }
    };
    every_byte(kv16{});
    every_byte(rec100{});
    every_byte(rec1k{});
}

// Every allocation entry point is counted, with the bytes it was asked for:
// a request of several elements, so that a count of one element's bytes
// shows.
TEST(CallCosts, EveryAllocatorIsCounted)
{
    if (!allocations_counted()) GTEST_SKIP() << "a sanitizer owns the allocator";
    const auto counted = [](const char* what, std::size_t bytes, auto allocate) {
        const allocation_tally before = allocations_so_far();
        void* p = allocate();
        benchmark::DoNotOptimize(p);
        const allocation_tally after = allocations_so_far();
        std::free(p);
        EXPECT_EQ(after.calls - before.calls, 1u) << what;
        EXPECT_EQ(after.bytes - before.bytes, bytes) << what;
    };
    counted("malloc", 24, [] { return std::malloc(24); });
    counted("calloc", 24, [] { return std::calloc(3, 8); });
    counted("realloc", 24, [] { return std::realloc(nullptr, 24); });
    counted("aligned_alloc", 192, [] { return std::aligned_alloc(64, 192); });
    counted("memalign", 192, [] { return memalign(64, 192); });
    counted("posix_memalign", 192, [] {
        void* p = nullptr;
        return posix_memalign(&p, 64, 192) == 0 ? p : nullptr;
    });
    counted("valloc", 24, [] { return valloc(24); });
    counted("pvalloc", 24, [] { return pvalloc(24); });
    const allocation_tally before = allocations_so_far();
    auto* array = new std::uint64_t[3];
    benchmark::DoNotOptimize(array);
    const allocation_tally after = allocations_so_far();
    delete[] array;
    EXPECT_EQ(after.bytes - before.bytes, 24u) << "new[]";
}

}  // namespace
