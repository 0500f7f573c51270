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
#include "bench/engine/adversary.hpp"
#include "bench/engine/stability.hpp"
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

// Touch the element before a short array without handing it to the
// comparison: only the guard page, placed before the array, can see it.
struct reads_before_the_start {
    void operator()(auto* a, std::uint32_t) const
    {
        const auto* before = reinterpret_cast<const volatile unsigned char*>(a) - 1;
        (void)*before;
    }
};
struct writes_before_the_start {
    void operator()(auto* a, std::uint32_t) const
    {
        auto* before = reinterpret_cast<volatile unsigned char*>(a) - 1;
        *before = 0;
    }
};

// Every ordered pair compared twice, then insertion: 2 n (n - 1) + n - 1
// comparisons on ascending input, within 2 n^2 (the budget up to 1,024
// elements) and past 1,024 n (the budget above).
struct all_pairs_twice {
    void operator()(auto* a, std::uint32_t n) const
    {
        for (int twice = 0; twice < 2; ++twice) {
            for (std::uint32_t i = 0; i < n; ++i) {
                for (std::uint32_t j = 0; j < n; ++j) {
                    if (i != j) (void)(a[i] < a[j]);
                }
            }
        }
        insertion_by_copies{}(a, n);
    }
};

// Six allocations; where the fourth alone fails (the first three granted),
// it writes past the end. Every other failure it survives.
sorts::op_counts fails_on_the_fourth_allocation(std::int32_t* a, std::uint32_t n)
{
    void* blocks[6] = {};
    for (int i = 0; i < 6; ++i) {
        blocks[i] = std::malloc(64);
        if (blocks[i] == nullptr) {
            if (i == 3) {
                volatile std::int32_t* v = a;
                v[n] = 0;
            }
            break;
        }
    }
    for (void* b : blocks) std::free(b);
    std::sort(a, a + n, [](std::int32_t x, std::int32_t y) { return sorts::counted_less(x, y); });
    return {};
}

// Adjacent pairs scanned twenty times: McIlroy's adversary freezes the
// input ascending, with far more than lg(n!) comparisons.
sorts::op_counts scans_twenty_times(std::int32_t* a, std::uint32_t n)
{
    std::uint64_t calls = 0;
    for (int pass = 0; pass < 20; ++pass) {
        for (std::uint32_t i = 1; i < n; ++i, ++calls) (void)sorts::counted_less(a[i - 1], a[i]);
    }
    return {calls, 0};
}

// Two comparisons with the last element: the adversary's input is not
// sorted (first and last frozen, the middle not), and far below lg(n!).
sorts::op_counts compares_twice(std::int32_t* a, std::uint32_t n)
{
    (void)sorts::counted_less(a[n - 1], a[0]);
    (void)sorts::counted_less(a[n - 1], a[1]);
    return {2, 0};
}

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

// A touch just before a short array, through no comparison, in the counting
// form and the plain one: the run placed against the front guard sees it.
TEST(Faults, TouchBeforeAShortArrayReadsAsBefore)
{
    const std::vector<std::pair<const char*, fault_target>> sorts{
        {"reads, counted", counted(reads_before_the_start{})},
        {"writes, counted", counted(writes_before_the_start{})},
        {"reads, int32", {{}, by_elements<reads_before_the_start>::judged<std::int32_t>, {}, {}}},
        {"writes, int32", {{}, by_elements<writes_before_the_start>::judged<std::int32_t>, {}, {}}},
    };
    for (const auto& [name, target] : sorts) {
        fault_case c = on(fault::clean, 10, 0);
        if (!target.counted) c.form = element_form::int32;
        EXPECT_EQ(key_of(run_fault(target, c, 5).what), std::string("before")) << name;
    }
}

// The budget's two rules meet at 1,024 elements: there a sort of 2 n (n - 1)
// comparisons finishes; one element more and it reads as quadratic.
TEST(Faults, BudgetRuleChangesAfter1024)
{
    const fault_target t = counted(all_pairs_twice{});
    const fault_result at = run_fault(t, on(fault::clean, 1024, 0, pattern::ascending));
    EXPECT_EQ(key_of(at.what), std::string("kept"));
    EXPECT_EQ(at.comparisons, 2u * 1024 * 1023 + 1023);
    EXPECT_EQ(key_of(run_fault(t, on(fault::clean, 1025, 0, pattern::ascending)).what), std::string("quadratic"));
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

// The sweep's points: an allocation fault at each allocation the clean run
// made (the fourth's failure is found, though the sort compares far more
// often than it allocates), and the observed fault past the last call.
TEST(Faults, SweepsAllocationsAndThePointPastTheLastCall)
{
    certificate_options options;
    options.patterns = {pattern::random};
    options.sizes = {100};
    options.points = 16;
    // The grid lists a contender by its timed sort; the sweep runs its count.
    sort_fn<std::int32_t>* const timed = [](std::int32_t* a, std::uint32_t n) { std::sort(a, a + n); };
    contender allocating{"allocating", 0, {}, {}};
    allocating.forms.of<std::int32_t>() = {timed, fails_on_the_fourth_allocation, {}};
    if (allocations_counted()) {
        options.faults = {fault::allocation};
        const certificate_row row = certify(allocating, fault_sweep(allocating, options), 100);
        EXPECT_TRUE(row.allocation.verdict.starts_with("PAST THE ARRAY")) << row.allocation.verdict;
        EXPECT_EQ(row.allocation.first_case, "allocation/counted/random/100/3");
    }

    contender insertion{"insertion", 0, {}, {}};
    insertion.forms.of<std::int32_t>() = {timed, by_elements<insertion_by_copies>::count<std::int32_t>, {}};
    options.faults = {fault::observed};
    options.points = 2;
    const std::vector<fault_record> records = fault_sweep(insertion, options);
    ASSERT_FALSE(records.empty());
    ASSERT_EQ(records.front().c.kind, fault::clean);
    const std::uint64_t calls = records.front().r.comparisons;
    std::set<std::uint64_t> points;
    for (const fault_record& r : records) {
        if (r.c.kind == fault::observed) points.insert(r.c.point);
    }
    EXPECT_EQ(points, (std::set<std::uint64_t>{0, calls / 2, calls - 1, calls}));
}

// Each column read from hand-made runs: the worst outcome and how many runs
// showed it, stale apart from moved-from, loops apart from the rest, and how
// an allocation column stayed safe.
TEST(Certificate, ColumnsFromHandMadeRecords)
{
    const contender none{"hand_made", 0, {}, {}};
    const auto record = [](fault kind, std::uint64_t point, fault_result r) {
        return fault_record{"hand_made", on(kind, 100, point), r};
    };
    fault_result lost{outcome::lost, true, true, false, 10, 0};
    fault_result stale{outcome::stale, true, false, true, 10, 0};
    fault_result moved{outcome::lost, true, true, false, 10, 0};
    fault_result quadratic{outcome::quadratic, false, false, false, 30000, 0};
    fault_result kept_allocating{outcome::kept, false, false, false, 10, 2};
    const certificate_row row = certify(none,
                                        {record(fault::random, 1, {}), record(fault::random, 2, quadratic),
                                         record(fault::cyclic, 3, {outcome::past, false, false, false, 5, 0}),
                                         record(fault::cyclic, 4, {outcome::past, false, false, false, 6, 0}),
                                         record(fault::throws, 5, lost), record(fault::observed, 6, moved),
                                         record(fault::observed, 7, stale), record(fault::allocation, 0, kept_allocating)},
                                        100);
    EXPECT_EQ(row.inconsistent.verdict, "PAST THE ARRAY");
    EXPECT_EQ(row.inconsistent.runs, 2u);
    EXPECT_EQ(row.inconsistent.first_case, "cyclic/counted/random/100/3");
    EXPECT_EQ(row.throwing.verdict, "threw, LOST (a moved-from element left)");
    EXPECT_EQ(row.throwing.grade, "unsafe");
    EXPECT_EQ(row.observation.verdict, "STALE (a change the comparison made is missing)");
    EXPECT_EQ(row.observation.first_case, "observed/counted/random/100/7");
    EXPECT_EQ(row.observation.runs, 1u);
    EXPECT_EQ(row.allocation.verdict, "safe (sorts without the memory)");
    EXPECT_TRUE(row.loops.verdict.starts_with("QUADRATIC OR WORSE")) << row.loops.verdict;
    EXPECT_EQ(row.loops.grade, "warning");
    EXPECT_EQ(row.adversary.grade, "n/a");

    // A moved-from element under the observed fault is the throwing
    // column's matter: the observation column stays safe.
    const certificate_row only_moved = certify(none, {record(fault::observed, 6, moved)}, 100);
    EXPECT_EQ(only_moved.observation.verdict, "safe");
    const certificate_row no_allocation = certify(none, {record(fault::allocation, 0, {})}, 100);
    EXPECT_EQ(no_allocation.allocation.verdict, "safe (allocates nothing)");
}

// The adversary's "not applicable" rule, one branch at a time: an input that
// came out sorted after many comparisons, and one that did not, after too
// few.
TEST(Adversary, EachNotApplicableBranchAlone)
{
    contender c{"hand_made", 0, {}, {}};
    c.forms.of<std::int32_t>().count = scans_twenty_times;
    const certificate_row sorted = certify(c, {}, 1000);
    EXPECT_TRUE(sorted.adversary_run.sorted_input);
    EXPECT_FALSE(sorted.adversary_run.below_lower_bound);
    EXPECT_EQ(sorted.adversary.verdict, "not applicable (the adversary's input is sorted)");

    c.forms.of<std::int32_t>().count = compares_twice;
    const certificate_row few = certify(c, {}, 1000);
    EXPECT_FALSE(few.adversary_run.sorted_input);
    EXPECT_TRUE(few.adversary_run.below_lower_bound);
    EXPECT_TRUE(few.adversary.verdict.starts_with("not applicable (fewer than lg n!")) << few.adversary.verdict;
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
        EXPECT_EQ(!first_instability(c, 2).has_value(), stable.count(c.id) == 1) << c.id;
    }
}

}  // namespace
