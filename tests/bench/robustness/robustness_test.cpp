// The fault classifier on tiny sorts broken on purpose, the sweep of fault
// points, the adversary's replay and its "not applicable" rule, and
// stability as found.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "bench/engine/bench_run.hpp"
#include "bench/robustness/certificate.hpp"
#include "bench/robustness/faults.hpp"
#include "bench/robustness/robustness.hpp"
#include "platform/call_costs.hpp"

namespace {

// Straight insertion that holds the element by copy: a throw mid-shift
// leaves the last one shifted twice and the held one nowhere.
struct insertion_by_copies {
    void operator()(auto* a, std::uint32_t n) const
    {
        for (std::uint32_t i = 1; i < n; ++i) {
            const auto held = a[i];
            std::uint32_t j = i;
            for (; j > 0 && held < a[j - 1]; --j) a[j] = a[j - 1];
            a[j] = held;
        }
    }
};

// The same, holding by move: a throw leaves the moved-from element behind.
struct insertion_by_moves {
    void operator()(auto* a, std::uint32_t n) const
    {
        for (std::uint32_t i = 1; i < n; ++i) {
            auto held = std::move(a[i]);
            std::uint32_t j = i;
            for (; j > 0 && held < a[j - 1]; --j) a[j] = std::move(a[j - 1]);
            a[j] = std::move(held);
        }
    }
};

// Compares copies and swaps the originals: what the comparison set on the
// copies never reaches the array.
struct compares_copies {
    void operator()(auto* a, std::uint32_t n) const
    {
        for (std::uint32_t i = 0; i < n; ++i) {
            for (std::uint32_t j = i + 1; j < n; ++j) {
                const auto x = a[i], y = a[j];
                if (y < x) std::swap(a[i], a[j]);
            }
        }
    }
};

// Works on its own copy, loses an element there, then throws: the caller's
// array is untouched, yet elements were lost where the sort worked.
struct loses_then_throws {
    void operator()(auto* a, std::uint32_t n) const
    {
        a[0] = a[n - 1];
        (void)(a[0] < a[1]);
        throw std::runtime_error("no");
    }
};

// Compare one element past the end, or one before the start: at ten
// elements the array fills no page, so a guard alone would see neither.
struct compares_past_the_end {
    void operator()(auto* a, std::uint32_t n) const { (void)(a[n - 1] < a[n]); }
};
struct compares_before_the_start {
    void operator()(auto* a, std::uint32_t) const { (void)(a[0] < a[-1]); }
};

sorts::op_counts asks_forever(std::int32_t* a, std::uint32_t)
{
    for (;;) (void)sorts::counted_less(a[0], a[1]);
}

sorts::op_counts spins(std::int32_t*, std::uint32_t)
{
    for (volatile bool forever = true; forever;) {
    }
    return {};
}

// Falls back to writing one past the end when its buffer is refused.
sorts::op_counts past_the_end_without_memory(std::int32_t* a, std::uint32_t n)
{
    void* buffer = std::malloc(n * sizeof(std::int32_t));
    if (buffer == nullptr) {
        volatile std::int32_t* v = a;
        v[n] = 0;
    }
    std::free(buffer);
    std::sort(a, a + n, [](std::int32_t x, std::int32_t y) { return sorts::counted_less(x, y); });
    return {};
}

const pattern_info& info_of_pattern(pattern p)
{
    return *std::find_if(all_patterns.begin(), all_patterns.end(), [&](const pattern_info& x) { return x.p == p; });
}

template <class Sort>
fault_target counted(Sort)
{
    return {by_elements<Sort>::template count<std::int32_t>, {}, {}, {}};
}

fault_case on(fault kind, std::uint32_t n, std::uint64_t point, pattern p = pattern::random)
{
    return {kind, element_form::counted, &info_of_pattern(p), n, point};
}

TEST(Faults, ClassifiesWhatABrokenSortDid)
{
    struct expected {
        fault_target target;
        fault_case c;
        outcome what;
        bool threw, moved_from, stale;
    };
    const std::vector<std::pair<const char*, expected>> cases{
        {"sound", {counted(insertion_by_copies{}), on(fault::reversed, 100, 50), outcome::kept, false, false, false}},
        {"duplicates", {counted(insertion_by_copies{}), on(fault::throws, 100, 500), outcome::lost_and_duplicated, true, false, false}},
        {"moved-from", {counted(insertion_by_moves{}), on(fault::throws, 100, 500), outcome::lost, true, true, false}},
        {"stale", {counted(compares_copies{}), on(fault::observed, 100, 1000), outcome::stale, true, false, true}},
        {"loses in its copy", {counted(loses_then_throws{}), on(fault::throws, 100, 0), outcome::lost_and_duplicated, true, false, false}},
        {"past the end", {counted(compares_past_the_end{}), on(fault::clean, 10, 0), outcome::past, false, false, false}},
        {"before the start", {counted(compares_before_the_start{}), on(fault::clean, 10, 0), outcome::before, false, false, false}},
        {"asks forever", {{asks_forever, {}, {}, {}}, on(fault::clean, 100, 0), outcome::no_progress, false, false, false}},
        {"spins", {{spins, {}, {}, {}}, on(fault::clean, 1024, 0), outcome::no_progress, false, false, false}},
    };
    for (const auto& [name, e] : cases) {
        const fault_result r = run_fault(e.target, e.c, 1);
        EXPECT_EQ(key_of(r.what), std::string(key_of(e.what))) << name;
        EXPECT_EQ(r.threw, e.threw) << name;
        EXPECT_EQ(r.moved_from, e.moved_from) << name;
        EXPECT_EQ(r.stale, e.stale) << name;
    }
}

// n^2 / 2 comparisons finish at 1,024 elements; at 16,384 they pass the
// budget and read as quadratic, not as a loop.
TEST(Faults, QuadraticApartFromLoops)
{
    const fault_target bubble = counted(compares_copies{});
    const fault_result small = run_fault(bubble, on(fault::clean, 1024, 0));
    EXPECT_EQ(small.what, outcome::kept);
    EXPECT_EQ(small.comparisons, 1024u * 1023 / 2);
    const fault_result large = run_fault(bubble, on(fault::clean, 16384, 0));
    EXPECT_EQ(large.what, outcome::quadratic);
    EXPECT_GT(large.comparisons, comparison_budget(16384));
}

TEST(Faults, AllocationFailureThatWritesPastTheEnd)
{
    if (!allocations_counted()) GTEST_SKIP() << "another layer owns malloc";
    const fault_target t{past_the_end_without_memory, {}, {}, {}};
    EXPECT_EQ(run_fault(t, on(fault::clean, 1024, 0)).what, outcome::kept);
    EXPECT_EQ(run_fault(t, on(fault::allocation, 1024, 0)).what, outcome::past);
}

TEST(Faults, CaseNamesRoundTrip)
{
    const fault_case c{fault::allocation_cyclic, element_form::int64, &info_of_pattern(pattern::asc_saws), 1024, 7};
    const auto back = case_named(c.name());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->name(), c.name());
    EXPECT_FALSE(case_named("throws/counted/random/1024").has_value());
    EXPECT_FALSE(case_named("throws/counted/random/99999/0").has_value());
}

// The throw at call n (the one point tried before) falls in std::sort's
// first partition, where it only swaps; the sweep reaches its insertion.
TEST(Faults, SweptPointsFindWhatOnePointMisses)
{
    const bench_run run;
    const contender& std_sort = *std::find_if(run.contenders().begin(), run.contenders().end(),
                                              [](const contender& c) { return c.id == "std_sort"; });
    const fault_target t = target_of(std_sort);
    const std::uint32_t n = 1024;
    EXPECT_EQ(run_fault(t, on(fault::throws, n, n)).what, outcome::kept);
    const fault_result clean = run_fault(t, on(fault::clean, n, 0));
    const std::vector<std::uint64_t> points = sweep_points(clean.comparisons, 16);
    EXPECT_EQ(points.size(), 17u);
    EXPECT_GE(points.back() * 10, clean.comparisons * 9);
    outcome worst = outcome::kept;
    for (const std::uint64_t point : points) worst = std::max(worst, run_fault(t, on(fault::throws, n, point)).what);
    EXPECT_GE(worst, outcome::duplicated);
}

// The adversary's input replays to its count through --input's reader, and
// a sort it hands a sorted input, or one in long runs, is "not applicable",
// not the best.
TEST(Adversary, ReplaysAndSaysWhenItDoesNotApply)
{
    const bench_run run;
    const auto find = [&](const char* id) {
        return *std::find_if(run.contenders().begin(), run.contenders().end(),
                             [&](const contender& c) { return c.id == id; });
    };
    const contender& std_sort = find("std_sort");
    const adversary_result a = run_adversary(std_sort.of<std::int32_t>().count, 1000);
    EXPECT_TRUE(a.applies());
    const std::string dir = testing::TempDir();
    const std::string file = adversary_file(dir, "std_sort", 1000);
    ASSERT_TRUE(write_int32_file(file, a.input));
    const auto data = read_user_data(file, "int32", false, {1000}, UINT64_MAX);
    std::vector<std::int32_t> replay(1000);
    data->fill(std::span(replay), 0);
    EXPECT_EQ(std_sort.of<std::int32_t>().count(replay.data(), 1000).comparisons, a.comparisons);
    std::filesystem::remove(file);

    for (const char* id : {"spinsort", "flat_stable_sort"}) {
        const certificate_row row = certify(find(id), {}, 1000);
        EXPECT_FALSE(row.adversary_run.applies()) << id;
        EXPECT_TRUE(row.adversary.verdict.starts_with("not applicable")) << id;
    }
}

// Against McIlroy's adversary the middle-element quicksorts make at least
// n^2 / 4 comparisons at 10,000 elements, and introsort, whose depth limit
// hands over to heapsort, stays within 6 n log2 n; the counts are the same
// on every run.
TEST(Adversary, Counts)
{
    const bench_run run;
    std::map<std::string, std::uint64_t> counts;
    for (const contender& c : run.contenders()) {
        if (c.id == "ex_quick_sort" || c.id == "my_QSORT" || c.id == "std_sort" || c.id == "pdqsort") {
            counts[c.id] = run_adversary(c.of<std::int32_t>().count, 10000).comparisons;
        }
    }
    EXPECT_EQ(counts["ex_quick_sort"], 25024695u);
    EXPECT_EQ(counts["my_QSORT"], 25025160u);
    EXPECT_EQ(counts["std_sort"], 409414u);
    EXPECT_GE(counts["ex_quick_sort"], 10000u * 10000u / 4);
    EXPECT_LE(counts["pdqsort"], 6 * 10000 * std::log2(10000));
}

// Stability as measured, not assumed: equal keys keep their input order in
// the stable sorts (and in glibc's qsort, a merge sort), not in the others.
TEST(Contenders, StabilityAsFound)
{
    const std::set<std::string> stable{"std_stable_sort", "c_qsort", "spinsort", "flat_stable_sort",
                                       "sample_sort", "parallel_stable_sort"};
    const bench_run run;
    for (const contender& c : run.contenders()) {
        EXPECT_EQ(!first_instability(c).has_value(), stable.count(c.id) == 1) << c.id;
    }
}

}  // namespace
