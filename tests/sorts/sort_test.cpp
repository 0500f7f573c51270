// Every routine against std::sort of the same input, over patterns and sizes
// around each routine's cut-offs (Shell sort's first gap changes at 18 and
// 45, the quicksorts hand ranges of 32 to insertion sort).
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <string>
#include <tuple>
#include <vector>

#include "inputs/elements.hpp"
#include "inputs/patterns.hpp"
#include "sorts/registry.hpp"

// Test names and failure messages show a routine and a pattern by name.
void PrintTo(const routine_info& r, std::ostream* os)
{
    *os << r.id;
}

void PrintTo(pattern p, std::ostream* os)
{
    *os << pattern_name(p);
}

namespace {

constexpr std::int32_t int_min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t int_max = std::numeric_limits<std::int32_t>::max();

// Guard values on both sides of the sorted span: a routine that reads or
// writes past either end moves them. Large ones on the left and small ones
// on the right, so that any exchange with them is out of order.
constexpr std::size_t guard_len = 8;

std::vector<std::uint32_t> grid_sizes()
{
    std::vector<std::uint32_t> sizes{0, 1, 2, 3, 9, 10, 17, 18, 31, 32, 33, 36, 44, 45, 100, 10000};
    for (std::uint32_t p = 64; p <= 8192; p *= 2) {
        sizes.insert(sizes.end(), {p - 1, p, p + 1});
    }
    return sizes;
}

// Sorts `input` with `routine` inside guards and checks the guards and the
// result against std::sort.
void expect_sorts_like_std(sort_func* routine, const std::vector<std::int32_t>& input)
{
    std::vector<std::int32_t> buf(input.size() + 2 * guard_len);
    std::fill_n(buf.begin(), guard_len, int_max);
    std::copy(input.begin(), input.end(), buf.begin() + guard_len);
    std::fill_n(buf.end() - guard_len, guard_len, int_min);

    routine(buf.data() + guard_len, static_cast<std::uint32_t>(input.size()));

    std::vector<std::int32_t> expected = input;
    std::sort(expected.begin(), expected.end());
    const std::vector<std::int32_t> got(buf.begin() + guard_len, buf.end() - guard_len);
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(std::all_of(buf.begin(), buf.begin() + guard_len,
                            [](std::int32_t v) { return v == int_max; }))
        << "left guard touched";
    EXPECT_TRUE(std::all_of(buf.end() - guard_len, buf.end(),
                            [](std::int32_t v) { return v == int_min; }))
        << "right guard touched";
}

std::vector<pattern> grid_patterns()
{
    std::vector<pattern> patterns;
    for (const pattern_info& info : all_patterns) patterns.push_back(info.p);
    return patterns;
}

using grid_case = std::tuple<routine_info, pattern, std::uint32_t>;

class SortGrid : public testing::TestWithParam<grid_case> {};

TEST_P(SortGrid, MatchesStdSort)
{
    const auto& [routine, pat, n] = GetParam();
    const std::uint32_t seed = 0x5eed0000u + n;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::vector<std::int32_t> input(n);
    fill_pattern(pat, input, seed);
    expect_sorts_like_std(routine.sort, input);
}

INSTANTIATE_TEST_SUITE_P(
    AllRoutines, SortGrid,
    testing::Combine(testing::ValuesIn(routines), testing::ValuesIn(grid_patterns()),
                     testing::ValuesIn(grid_sizes())),
    [](const testing::TestParamInfo<grid_case>& info) {
        return std::string(std::get<0>(info.param).id) + "_" +
               std::string(pattern_name(std::get<1>(info.param))) + "_" +
               std::to_string(std::get<2>(info.param));
    });

class SortEachRoutine : public testing::TestWithParam<routine_info> {};

// Values more than 2^31 apart: a comparison by 32-bit difference would put
// 2000000000 first.
TEST_P(SortEachRoutine, OrdersValuesFarApart)
{
    sort_func* routine = GetParam().sort;
    std::vector<std::int32_t> pair{2000000000, -2000000000};
    routine(pair.data(), 2);
    EXPECT_EQ(pair, (std::vector<std::int32_t>{-2000000000, 2000000000}));

    // Above the insertion-sort cut-off too, so that the partitions compare.
    std::vector<std::int32_t> input;
    for (int i = 0; i < 100; ++i) {
        input.push_back(i % 2 ? int_max - i : int_min + i);
    }
    expect_sorts_like_std(routine, input);
}

INSTANTIATE_TEST_SUITE_P(AllRoutines, SortEachRoutine, testing::ValuesIn(routines),
                         [](const testing::TestParamInfo<routine_info>& info) {
                             return std::string(info.param.id);
                         });

// Values on either side of everything a pattern makes in each type, for the
// guards: large on the left, small on the right, so that any exchange with a
// guard is out of order, and marked where the type has room for a mark.
template <class T>
struct guard_values;
template <>
struct guard_values<std::int32_t> {
    static std::int32_t left() { return int_max; }
    static std::int32_t right() { return int_min; }
};
template <>
struct guard_values<std::int64_t> {
    static std::int64_t left() { return std::numeric_limits<std::int64_t>::max(); }
    static std::int64_t right() { return std::numeric_limits<std::int64_t>::min(); }
};
template <>
struct guard_values<double> {
    static double left() { return std::numeric_limits<double>::infinity(); }
    static double right() { return -std::numeric_limits<double>::infinity(); }
};
template <>
struct guard_values<kv16> {
    static kv16 left() { return {0xfeedu, UINT64_MAX}; }
    static kv16 right() { return {0xbeefu, 0}; }
};
template <>
struct guard_values<text> {
    static text left() { return {"\xff", 1}; }  // strings compare as unsigned bytes
    static text right() { return {"", 0}; }
};
template <>
struct guard_values<url> {
    static url left() { return {"\xff", 1}; }
    static url right() { return {"", 0}; }
};
template <>
struct guard_values<rec100> {
    static rec100 left() { return {UINT32_MAX, UINT32_MAX, {0xfeedu}}; }
    static rec100 right() { return {0, 0, {0xbeefu}}; }
};
template <>
struct guard_values<rec1k> {
    static rec1k left() { return {UINT64_MAX, {0xfeedu}}; }
    static rec1k right() { return {0, {0xbeefu}}; }
};

// Sorts `input` with `sort` inside guards and checks the guards, and that
// the result is ordered and, sorted again by the type's finer order, is the
// input so sorted: a lost, doubled or altered element shows.
template <class T, class Sort>
void expect_sorts_with_guards(Sort sort, const std::vector<T>& input)
{
    using g = guard_values<T>;
    std::vector<T> buf(input.size() + 2 * guard_len, g::left());
    std::fill_n(buf.end() - guard_len, guard_len, g::right());
    std::copy(input.begin(), input.end(), buf.begin() + guard_len);

    sort(buf.data() + guard_len, static_cast<std::uint32_t>(input.size()));

    std::vector<T> got(buf.begin() + guard_len, buf.end() - guard_len);
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
    std::vector<T> expected = input;
    std::sort(expected.begin(), expected.end(), element_traits<T>::finer);
    std::sort(got.begin(), got.end(), element_traits<T>::finer);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin(), expected.end(), element_traits<T>::same));
    const auto is = [](T want) { return [want](const T& v) { return element_traits<T>::same(v, want); }; };
    EXPECT_TRUE(std::all_of(buf.begin(), buf.begin() + guard_len, is(g::left()))) << "left guard touched";
    EXPECT_TRUE(std::all_of(buf.end() - guard_len, buf.end(), is(g::right()))) << "right guard touched";
}

using typed_case = std::tuple<routine_info, std::string_view, pattern, std::uint32_t>;

class TypedGrid : public testing::TestWithParam<typed_case> {};

// Every routine's form for every element type, and its counting form, at the
// sizes around the routines' cut-offs.
TEST_P(TypedGrid, SortAndCountFormsMatchStdSort)
{
    const auto& [routine, type, pat, n] = GetParam();
    for_each_type([&]<class T>(T) {
        if (element_traits<T>::name != type) return;
        const typed_sort<T>& forms = routine.forms->of<T>();
        ASSERT_TRUE(forms.sort);
        ASSERT_TRUE(forms.count);
        std::vector<T> input(n);
        fill_elements(pat, std::span(input), 0x5eed0000u + n);
        SCOPED_TRACE("sort form");
        expect_sorts_with_guards<T>(forms.sort, input);
        SCOPED_TRACE("counting form");
        expect_sorts_with_guards<T>(forms.count, input);
    });
}

std::vector<std::string_view> type_names()
{
    std::vector<std::string_view> names;
    for_each_type([&]<class T>(T) { names.push_back(element_traits<T>::name); });
    return names;
}

INSTANTIATE_TEST_SUITE_P(
    AllRoutines, TypedGrid,
    testing::Combine(testing::ValuesIn(routines), testing::ValuesIn(type_names()), testing::ValuesIn(grid_patterns()),
                     testing::Values(0u, 1u, 2u, 17u, 18u, 32u, 33u, 44u, 45u, 65u, 200u)),
    [](const testing::TestParamInfo<typed_case>& info) {
        return std::string(std::get<0>(info.param).id) + "_" + std::string(std::get<1>(info.param)) + "_" +
               std::string(pattern_name(std::get<2>(info.param))) + "_" + std::to_string(std::get<3>(info.param));
    });

TEST(QsortCmp, HasTheTrueSignForEveryPair)
{
    struct row {
        std::int32_t x, y;
        int sign;
    };
    const row rows[] = {
        {0, 0, 0},          {3, 5, -1},         {5, 3, 1},
        {-1, 0, -1},        {int_min, int_max, -1}, {int_max, int_min, 1},
        {2000000000, -2000000000, 1}, {-2000000000, 2000000000, -1},
        {int_min, 0, -1},   {int_max, -1, 1},   {int_min, int_min, 0},
    };
    for (const row& r : rows) {
        const int got = qsort_cmp(&r.x, &r.y);
        EXPECT_EQ((got > 0) - (got < 0), r.sign) << r.x << " vs " << r.y;
    }
}

// Runs `fn` on a thread whose stack is only 256 KiB.
template <typename Fn>
void run_on_small_stack(Fn fn)
{
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 256 * 1024), 0);
    pthread_t thread;
    auto body = [](void* arg) -> void* {
        (*static_cast<Fn*>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, body, &fn), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attr);
}

// Equal values split each range at n - 1; without the smaller-part recursion
// the stack would hold one frame per element.
TEST(Quicksorts, EqualRunsStayOnASmallStack)
{
    for (const routine_info& r : routines) {
        if ((r.traits & quadratic_on_equal_runs) == 0) continue;
        SCOPED_TRACE(r.id);
        std::vector<std::int32_t> equal(30000, 7);
        run_on_small_stack([&] { r.sort(equal.data(), static_cast<std::uint32_t>(equal.size())); });
        EXPECT_TRUE(std::all_of(equal.begin(), equal.end(), [](std::int32_t v) { return v == 7; }));
    }
}

// Comparisons per element of one sort of the pattern at size n, divided by
// log2 n: about 1 to 3 for an n log n sort, n / log2 n for a quadratic one.
double comparisons_over_n_log_n(const routine_info& r, pattern p, std::uint32_t n)
{
    std::vector<std::int32_t> a(n);
    fill_pattern(p, a, 1);
    const sorts::op_counts counts = r.forms->of<std::int32_t>().count(a.data(), n);
    EXPECT_TRUE(std::is_sorted(a.begin(), a.end())) << r.id;
    return static_cast<double>(counts.comparisons) / (n * std::log2(n));
}

// Each trait of the registry holds, by counted comparisons, for exactly the
// routines that carry it. At 10,000 elements a quadratic case makes n^2 / 4
// comparisons or more (n log2 n times 75); an n log n case here stays under
// 8 n log2 n. Comb sort's turtles show from 100,000 elements on (35 n log2 n
// there, 2.4 on random input).
TEST(Traits, HoldForExactlyTheRoutinesThatCarryThem)
{
    constexpr std::uint32_t n = 10000;
    const double quadratic = n / 4.0 / std::log2(n);
    for (const routine_info& r : routines) {
        SCOPED_TRACE(r.id);
        const bool killer = r.traits & quadratic_on_middle_pivot_killer;
        const double on_killer = comparisons_over_n_log_n(r, pattern::middle_pivot_killer, n);
        EXPECT_EQ(on_killer >= quadratic, killer) << on_killer;
        if (!killer) {
            EXPECT_LT(on_killer, 8) << on_killer;
        }

        const bool equal_runs = r.traits & quadratic_on_equal_runs;
        const double on_equal = comparisons_over_n_log_n(r, pattern::all_equal, n);
        EXPECT_EQ(on_equal >= quadratic, equal_runs) << on_equal;
        if (!equal_runs) {
            EXPECT_LT(on_equal, 8) << on_equal;
        }

        if (!killer) {  // a routine with the killer trait is capped below this size anyway
            const double turtles = comparisons_over_n_log_n(r, pattern::middle_pivot_killer, 100000);
            EXPECT_EQ(turtles >= 20, (r.traits & quadratic_on_turtles) != 0) << turtles;
        }
    }
    // The killer is aimed at middle-element pivots only: introsort shrugs.
    std::vector<sorts::counted<std::int32_t>> killer(n);
    {
        std::vector<std::int32_t> made(n);
        fill_pattern(pattern::middle_pivot_killer, made, 1);
        for (std::uint32_t i = 0; i < n; ++i) killer[i] = sorts::counted<std::int32_t>(made[i]);
    }
    sorts::tally_now = {};
    std::sort(killer.begin(), killer.end());
    EXPECT_LT(static_cast<double>(sorts::tally_now.comparisons) / (n * std::log2(n)), 2.0);
}

TEST(MyQsort, NullArrayAndNegativeCountsDoNothing)
{
    my_QSORT(nullptr, 5);
    my_QSORT(nullptr, 0);
    const std::vector<std::int32_t> input{3, 1, 2};
    for (std::int32_t n : {-1, -3, int_min}) {
        std::vector<std::int32_t> a = input;
        my_QSORT(a.data(), n);
        EXPECT_EQ(a, input) << "count " << n;
    }
}

}  // namespace
