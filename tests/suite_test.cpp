// The companion suite's own logic: the noise flag, the recorded context, and
// the batches that time and verify every figure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <cmath>

#include "bench/context.hpp"
#include "bench/counts.hpp"
#include "bench/plugin.hpp"
#include "bench/noise.hpp"
#include "bench/suite.hpp"

namespace {

using bm_run = benchmark::BenchmarkReporter::Run;

std::vector<bm_run> runs_with_cv(double cv, const std::string& label = "")
{
    std::vector<bm_run> runs(3);
    runs[0].report_label = label;  // a repetition
    runs[1].run_type = bm_run::RT_Aggregate;
    runs[1].aggregate_name = "median";
    runs[2].run_type = bm_run::RT_Aggregate;
    runs[2].aggregate_name = "cv";
    runs[2].aggregate_unit = benchmark::kPercentage;
    runs[2].real_accumulated_time = cv;
    return runs;
}

TEST(NoiseFlag, MarksEveryRunOfABenchmarkSpreadOverFivePercent)
{
    std::vector<bm_run> noisy = runs_with_cv(0.073, "pattern seed 1");
    flag_noisy(noisy);
    EXPECT_EQ(noisy[0].report_label, "pattern seed 1 NOISY: cv 7.3% > 5%");
    EXPECT_EQ(noisy[1].report_label, "NOISY: cv 7.3% > 5%");
    EXPECT_EQ(noisy[2].report_label, "NOISY: cv 7.3% > 5%");

    for (double quiet_cv : {0.05, 0.0049, 0.0}) {
        std::vector<bm_run> quiet = runs_with_cv(quiet_cv);
        flag_noisy(quiet);
        for (const bm_run& r : quiet) EXPECT_EQ(r.report_label, "") << quiet_cv;
    }

    std::vector<bm_run> single(1);  // one repetition: no aggregates, nothing to judge
    flag_noisy(single);
    EXPECT_EQ(single[0].report_label, "");
}

TEST(Context, CarriesEveryKeyWithAValue)
{
    std::map<std::string, std::string> context;
    for (const auto& [key, value] : environment_context()) context[key] = value;
    for (const char* key : {"compiler", "build_type", "build_flags", "git_commit", "git_dirty", "cpu_model",
                            "transparent_huge_pages", "cpu_governor", "suite_version", "vqsort_target"}) {
        ASSERT_TRUE(context.count(key)) << key;
        EXPECT_FALSE(context[key].empty()) << key;
    }
    EXPECT_EQ(selected_setting("always [madvise] never"), "madvise");
    EXPECT_EQ(selected_setting("performance"), "performance");
}

}  // namespace

// The suite's batches, run through Google Benchmark in this process with a
// scripted clock and routines that record what they are given.
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
// beforehand so that nothing grows between two reads.
struct script {
    std::uint64_t now = 1'000'000;
    std::uint64_t ticks_per_call = 0;
    std::size_t calls = 0;
    std::vector<std::size_t> calls_at_read;
    std::vector<std::uint64_t> array_hashes;  // of each array as it was handed over
    std::size_t break_from = SIZE_MAX;        // calls from this one on leave a wrong result
    std::size_t break_only = SIZE_MAX;        // this call alone leaves a wrong result
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

// Records the array and sorts it; call k (counting the warm-up as 0) can be
// told to leave the array out of order.
void recording_sort(std::int32_t* a, std::uint32_t n)
{
    if (world.calls < world.array_hashes.size()) {
        world.array_hashes[world.calls] = fnv1a(a, n);
    }
    std::sort(a, a + n);
    if ((world.calls >= world.break_from || world.calls == world.break_only) && n >= 2) {
        std::swap(a[0], a[n - 1]);
    }
    ++world.calls;
    world.now += world.ticks_per_call;
}

int case_number = 0;

// Runs one case for `batches` batches and `repetitions` repetitions; returns
// the runs reported (repetitions first, then any aggregates).
std::vector<benchmark::BenchmarkReporter::Run> run_case(pattern p, std::uint32_t n, bool cold, std::size_t batches,
                                                        int repetitions = 1)
{
    benchmark::ClearRegisteredBenchmarks();
    const std::size_t copies = prepare<std::int32_t>(p, n)->copies;
    world.calls_at_read.reserve(2 * batches * static_cast<std::size_t>(repetitions) + 2);
    // Each name once per process: the warm-up is once per name.
    const std::string name = "scripted/" + std::to_string(++case_number);
    register_sort_case(sort_case<std::int32_t>{name, recording_sort, p, n, cold, scripted_clock})
        ->Iterations(static_cast<benchmark::IterationCount>(copies * batches))
        ->Repetitions(repetitions);
    collecting_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::ClearRegisteredBenchmarks();
    return reporter.all;
}

void reset_world(std::uint64_t ticks_per_call)
{
    world = {};
    world.ticks_per_call = ticks_per_call;
}

// The reported time of one call is the time of one sort, whatever the number
// of arrays in a batch (6,553 of 10 elements, 1 of 1,000,000) or of batches.
TEST(SuiteBatch, ReportsTheTimeOfOneCall)
{
    for (const auto& [n, batches] : {std::pair{10u, 1u}, std::pair{10u, 3u}, std::pair{1000u, 4u},
                                     std::pair{1000000u, 2u}}) {
        SCOPED_TRACE("n " + std::to_string(n) + ", batches " + std::to_string(batches));
        reset_world(1234);
        const auto runs = run_case(pattern::ascending, n, false, batches);
        ASSERT_EQ(runs.size(), 1u);
        const auto& run = runs[0];
        EXPECT_FALSE(run.error_occurred);
        const std::size_t copies = prepare<std::int32_t>(pattern::ascending, n)->copies;
        EXPECT_EQ(run.iterations, static_cast<benchmark::IterationCount>(copies * batches));
        EXPECT_NEAR(run.real_accumulated_time / static_cast<double>(run.iterations), 1234e-9, 1e-15);
        // The warm-up call, then every array of every batch once.
        EXPECT_EQ(world.calls, 1 + copies * batches);
    }
}

// One untimed call before the first clock read of a benchmark, none in later
// repetitions, and between each pair of reads exactly the calls of one batch.
TEST(SuiteBatch, WarmsUpOnceOutsideTheClock)
{
    reset_world(10);
    const std::size_t copies = prepare<std::int32_t>(pattern::random, 100)->copies;
    run_case(pattern::random, 100, false, 2, 3);
    std::vector<std::size_t> expected;
    for (std::size_t b = 0; b < 6; ++b) {
        expected.push_back(1 + b * copies);
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
        const std::size_t copies = prepare<std::int32_t>(pattern::random, n)->copies;
        world.array_hashes.assign(1 + 2 * copies, 0);
        run_case(pattern::random, n, cold, 2);
        ASSERT_EQ(world.calls, 1 + 2 * copies);
        for (std::size_t call = 1; call < world.calls; ++call) {
            std::vector<std::int32_t> made(n);
            fill_pattern(pattern::random, made, static_cast<std::uint32_t>((call - 1) % copies + 1));
            ASSERT_EQ(world.array_hashes[call], fnv1a(made.data(), n)) << "call " << call;
        }
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
            EXPECT_TRUE(std::equal(from.begin(), from.begin() + static_cast<long>(length), to.begin() + static_cast<long>(offset)))
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
    const std::size_t copies = prepare<std::int32_t>(pattern::random, n)->copies;
    for (const bool later_batches : {false, true}) {
        SCOPED_TRACE(later_batches ? "from the second batch on" : "last array of the first batch");
        reset_world(1);
        if (later_batches) {
            world.break_from = 1 + copies;
        } else {
            world.break_only = copies;
        }
        const std::size_t wrong_before = wrong_results();
        testing::internal::CaptureStderr();
        const auto runs = run_case(pattern::random, n, false, 3);
        const std::string err = testing::internal::GetCapturedStderr();
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_TRUE(runs[0].error_occurred);
        EXPECT_EQ(runs[0].error_message, "wrong result: not ordered, or not a permutation of the input");
        EXPECT_NE(err.find("WRONG RESULT: scripted/"), std::string::npos) << err;
        EXPECT_EQ(wrong_results(), wrong_before + 1);
    }
}

}  // namespace

namespace {

// Which contender runs capped on which pattern: the quicksorts around the
// middle element on every pattern with runs of equal values and on the
// killer, comb sort on the killer (its small values sit far to the right).
TEST(SuiteCaps, CapExactlyTheKnownQuadraticCases)
{
    const std::vector<std::string> equal_runs{"few_distinct", "all_equal", "distinct_2", "distinct_16",
                                              "distinct_256", "zipf", "middle_pivot_killer"};
    const std::map<std::string, std::vector<std::string>> golden{
        {"comb_sort", {"middle_pivot_killer"}}, {"ex_quick_sort", equal_runs}, {"my_QSORT", equal_runs}};
    std::map<std::string, std::vector<std::string>> capped;
    for (const contender& c : contenders()) {
        for (const pattern_info& p : all_patterns) {
            const std::uint32_t cap = size_cap(c, p);
            if (cap != UINT32_MAX) {
                EXPECT_EQ(cap, 10000u);
                capped[c.id].emplace_back(p.name);
            }
        }
    }
    EXPECT_EQ(capped, golden);
}

}  // namespace

namespace {

// Every contender on every type it takes, in both its timed and its counting
// form, over patterns and sizes around the cut-offs: ordered, and a
// permutation of the input; and an empty array. The example contender
// library is one of them.
TEST(SuiteContenders, SortEveryTypeTheyTake)
{
    const std::vector<contender> all = contenders_with({SORTBENCH_EXAMPLE_CONTENDER});
    ASSERT_EQ(all.back().id, "heapsort");
    for (const contender& c : all) {
        for_each_type([&]<class T>(T) {
            const typed_sort<T>& s = c.of<T>();
            if (s.sort == nullptr) return;
            if (c.use_threads != nullptr) c.use_threads(2);
            T untouched{};  // an empty array at a valid address, as qsort() requires
            s.sort(&untouched, 0);
            if (s.count != nullptr) s.count(&untouched, 0);
            for (const pattern_info& p : all_patterns) {
                for (const std::uint32_t n : {1u, 2u, 33u, 100u, 1000u}) {
                    SCOPED_TRACE(benchmark_name(c.id, p.name, n, element_traits<T>::name, false));
                    auto in = prepare<T>(p.p, n, 3);
                    time_batch(*in, s.sort, false, monotonic_ticks);
                    EXPECT_TRUE(batch_sorted(*in)) << "timed form";
                    if (s.count == nullptr) continue;
                    std::copy(in->input.begin(), in->input.end(), in->work.begin());
                    for (std::size_t k = 0; k < in->copies; ++k) s.count(in->work.data() + k * n, n);
                    EXPECT_TRUE(batch_sorted(*in)) << "counting form";
                }
            }
        });
    }
}

// Counted, the middle-element quicksorts are quadratic on the killer and
// pdqsort is not; and the counts of a sort are the same every time.
TEST(SuiteContenders, CountTheKillerAsItIs)
{
    constexpr std::uint32_t n = 10000;
    std::map<std::string, std::uint64_t> comparisons;
    for (const contender& c : contenders()) {
        if (c.id != "ex_quick_sort" && c.id != "my_QSORT" && c.id != "pdqsort") continue;
        for (int run = 0; run < 2; ++run) {
            std::vector<std::int32_t> a(n);
            fill_pattern(pattern::middle_pivot_killer, a, 1);
            const std::uint64_t seen = c.of<std::int32_t>().count(a.data(), n).comparisons;
            if (run == 1) {
                EXPECT_EQ(seen, comparisons[c.id]) << c.id;
            }
            comparisons[c.id] = seen;
        }
    }
    EXPECT_GE(comparisons["ex_quick_sort"], std::uint64_t{n} * n / 4);
    EXPECT_GE(comparisons["my_QSORT"], std::uint64_t{n} * n / 4);
    EXPECT_LE(comparisons["pdqsort"], 2 * n * std::log2(n));
}

// Stability as measured, not assumed: equal keys keep their input order in
// the stable sorts (and in glibc's qsort, a merge sort), not in the others.
TEST(SuiteContenders, StabilityAsFound)
{
    const std::set<std::string> stable{"std_stable_sort", "c_qsort", "spinsort", "flat_stable_sort",
                                       "sample_sort", "parallel_stable_sort"};
    for (const contender& c : contenders()) {
        EXPECT_EQ(!first_instability(c).has_value(), stable.count(c.id) == 1) << c.id;
    }
}

}  // namespace

namespace {

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

}  // namespace

namespace {

TEST(Threads, CountsUpToTheLimitAndTheLimitsThatParse)
{
    using counts = std::vector<unsigned>;
    EXPECT_EQ(thread_counts(1), (counts{1}));
    EXPECT_EQ(thread_counts(2), (counts{1, 2}));
    EXPECT_EQ(thread_counts(6), (counts{1, 2, 4, 6}));
    EXPECT_EQ(thread_counts(64), (counts{1, 2, 4, 8, 16, 32, 64}));
    EXPECT_EQ(thread_counts(65536).back(), 65536u);
    EXPECT_EQ(benchmark_name("ips4o_par", "random", 1000000, "int32", false, 8), "ips4o_par/random/1000000/threads:8");
    EXPECT_EQ(benchmark_name("x", "random", 100, "kv16", true, 2), "x/random/100/kv16/threads:2/cold");

    EXPECT_EQ(parse_thread_limit("1"), 1u);
    EXPECT_EQ(parse_thread_limit("128"), 128u);
    EXPECT_EQ(parse_thread_limit("65536"), 65536u);
    for (const char* bad : {"", "0", "-1", "65537", "99999", "4x", " 4", "1e3", "999999999999"}) {
        EXPECT_FALSE(parse_thread_limit(bad).has_value()) << '"' << bad << '"';
    }
}

}  // namespace
