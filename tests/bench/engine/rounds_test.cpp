// Paired rounds under a scripted clock: both members sort the same arrays in
// every round, in an order that changes, each timed alone; a wrong result
// names its member.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench/engine/rounds.hpp"
#include "bench/engine/bench_run.hpp"

namespace {

// The scripted world: a call of member A moves the clock by 100 ticks, of
// B by 150; every call notes its member and the array it was handed.
struct script {
    std::uint64_t now = 0;
    std::vector<char> calls;                   // 'A' or 'B', in order
    std::map<char, std::vector<std::int32_t>> firsts;  // each call's first element, per member
    bool b_breaks = false;
    // Wall time that the CPU clock does not see, as time slices taken by
    // other processes: added to B's calls in a changing amount.
    bool wall_jitters = false;
    std::uint64_t off_cpu = 0;
} world;

std::uint64_t scripted_counter()
{
    return world.now + world.off_cpu;
}

std::uint64_t nanosecond_frequency()
{
    return 1'000'000'000;
}

constexpr tick_source scripted_clock{scripted_counter, nanosecond_frequency};

// The CPU clock runs with the scripted one: no time off the CPU.
cost_totals scripted_costs()
{
    cost_totals t;
    t.cpu_ns = world.now;
    return t;
}

constexpr cost_meter scripted_meter{scripted_costs, scripted_costs};

template <char Member, std::uint64_t Ticks>
void recording_sort(std::int32_t* a, std::uint32_t n)
{
    world.calls.push_back(Member);
    world.firsts[Member].push_back(a[0]);
    std::sort(a, a + n);
    if (Member == 'B' && world.b_breaks) std::swap(a[0], a[n - 1]);
    world.now += Ticks;
    if (Member == 'B' && world.wall_jitters && world.calls.size() % 89 == 0) world.off_cpu += Ticks * 500;
}

contender member(const char* id, sort_fn<std::int32_t>* sort)
{
    contender c{id, 0, {}, {}};
    c.forms.of<std::int32_t>().sort = sort;
    return c;
}

TEST(Rounds, PairEveryRoundOnTheSameArraysInAChangingOrder)
{
    world = {};
    bench_run run;
    const contender a = member("A", recording_sort<'A', 100>);
    const contender b = member("B", recording_sort<'B', 150>);
    rounds_options options;
    options.min_rounds = 12;
    options.round_seconds = 0;  // one batch a share
    const pattern_info& random = *std::find_if(all_patterns.begin(), all_patterns.end(),
                                               [](const pattern_info& p) { return p.p == pattern::random; });
    const rounds_case c = run_rounds<std::int32_t>(run, {&a, &b}, random, 1000, false, options, 0,
                                                   scripted_clock, scripted_meter);
    EXPECT_EQ(c.name, "random/1000");
    ASSERT_EQ(c.rounds.size(), 2u);
    // A ratio that does not move is known at once: the least rounds.
    EXPECT_EQ(c.stopped, "interval");
    ASSERT_EQ(c.rounds[0].size(), 12u);
    ASSERT_EQ(c.rounds[1].size(), 12u);
    for (unsigned r = 0; r < 12; ++r) {
        EXPECT_EQ(c.rounds[0][r].wall_ns, 100.0);
        EXPECT_EQ(c.rounds[0][r].cpu_ns, 100.0);
        EXPECT_EQ(c.rounds[1][r].cpu_ns, 150.0);
        EXPECT_EQ(c.rounds[1][r].copy_ns, 0.0);  // the scripted clock stands still while arrays are copied
    }
    // Both were handed the same arrays, call for call.
    EXPECT_EQ(world.firsts['A'], world.firsts['B']);
    // After the warm-up and sizing calls, each round's first member varies.
    ASSERT_EQ(c.batches, (std::vector<std::size_t>{1, 1}));
    const std::size_t per_share = c.arrays;
    const std::size_t start = world.calls.size() - 2 * per_share * 12;
    std::map<char, int> first_in_round;
    for (unsigned r = 0; r < 12; ++r) ++first_in_round[world.calls[start + 2 * per_share * r]];
    EXPECT_GT(first_in_round['A'], 0);
    EXPECT_GT(first_in_round['B'], 0);

    world = {};
    world.b_breaks = true;
    EXPECT_THROW(
        {
            try {
                run_rounds<std::int32_t>(run, {&a, &b}, random, 1000, false, options, 0, scripted_clock,
                                         scripted_meter);
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "wrong result: B did not sort random/1000");
                throw;
            }
        },
        std::runtime_error);
}

// The rounds stop on the figure they report: CPU time, steady here, while
// the wall time of B jumps from round to round. A rule that judged the wall
// time would run to the most rounds.
TEST(Rounds, StopOnTheFigureTheyReport)
{
    world = {};
    world.wall_jitters = true;
    bench_run run;
    const contender a = member("A", recording_sort<'A', 100>);
    const contender b = member("B", recording_sort<'B', 150>);
    rounds_options options;
    options.min_rounds = 12;
    options.rounds = 40;
    options.round_seconds = 0;
    const pattern_info& random = *std::find_if(all_patterns.begin(), all_patterns.end(),
                                               [](const pattern_info& p) { return p.p == pattern::random; });
    const rounds_case c = run_rounds<std::int32_t>(run, {&a, &b}, random, 1000, false, options, 0, scripted_clock,
                                                   scripted_meter);
    EXPECT_TRUE(c.cpu_figure);
    EXPECT_EQ(c.stopped, "interval");
    EXPECT_EQ(c.rounds[1].size(), 12u);
    EXPECT_GT(paired_half_width(c.written(0), [&] {
        std::vector<double> wall;
        for (const round_figures& f : c.rounds[1]) wall.push_back(f.wall_ns);
        return wall;
    }()), options.width) << "the wall time must not be steady, or the test shows nothing";
}

// A parallel member in a sequential reference's group: its CPU time counts
// every thread's, so both are read by wall time, which the figures then are.
TEST(Rounds, WallTimeWhereAMemberIsParallel)
{
    world = {};
    world.wall_jitters = true;
    bench_run run;
    const contender a = member("A", recording_sort<'A', 100>);
    contender b = member("B", recording_sort<'B', 150>);
    b.use_threads = [](unsigned) {};
    rounds_options options;
    options.min_rounds = 12;
    options.rounds = 12;
    options.round_seconds = 0;
    const rounds_case c = run_rounds<std::int32_t>(run, {&a, &b}, *pattern_named("random"), 1000, false, options, 2,
                                                   scripted_clock, scripted_meter);
    EXPECT_FALSE(c.cpu_figure);
    ASSERT_EQ(c.rounds.size(), 2u);
    for (std::size_t m = 0; m < 2; ++m) {
        const std::vector<double> written = c.written(m);  // to six significant digits
        ASSERT_EQ(written.size(), c.rounds[m].size());
        for (std::size_t r = 0; r < written.size(); ++r) {
            EXPECT_NEAR(written[r], c.rounds[m][r].wall_ns, 1e-5 * c.rounds[m][r].wall_ns) << m << " " << r;
        }
    }
    const std::vector<double> b_written = c.written(1);
    EXPECT_GT(*std::max_element(b_written.begin(), b_written.end()), 150.0);  // B's time off the CPU is in
}

// The rounds' file holds every counter this machine counts, per member and
// round, under its own key, and none it cannot count.
TEST(Rounds, FileHoldsEveryCountedCounter)
{
    const contender a = member("A", recording_sort<'A', 100>);
    rounds_case c;
    c.name = "random/1000";
    c.members = {&a};
    c.rounds.resize(1);
    for (int r = 0; r < 2; ++r) {
        round_figures f;
        for (std::size_t i = 0; i < counter_count; ++i) f.per_call[i] = static_cast<double>(10 * i + r + 1);
        c.rounds[0].push_back(f);
    }
    const json doc = rounds_document({&a}, {}, 0, {c});
    const nlohmann::json& written = doc["cases"][0];
    for (std::size_t i = 0; i < counter_count; ++i) {
        const std::string key(call_counters[i].key);
        if (call_counters[i].missing().empty()) {
            ASSERT_TRUE(written.contains(key)) << key;
            EXPECT_EQ(written[key], nlohmann::json::array({{10.0 * i + 1, 10.0 * i + 2}})) << key;
        } else {
            EXPECT_FALSE(written.contains(key)) << key;
        }
    }
}

// Twenty rounds of ratios 1.00, 1.01, ..., 1.19: the 95% interval of their
// median (1.095) runs from the 6th smallest to the 6th largest, 1.05 to
// 1.14. One round that a burst doubled on one side moves each end by one
// place only.
TEST(Rounds, IntervalOfPairedRatios)
{
    std::vector<double> a(20, 2.0), b;
    for (int i = 0; i < 20; ++i) b.push_back(2.0 * (1 + i / 100.0));
    EXPECT_NEAR(paired_half_width(a, b), 1.14 / 1.095 - 1, 1e-12);
    b[3] *= 2;
    EXPECT_NEAR(paired_half_width(a, b), 1.15 / 1.105 - 1, 1e-12);
    const paired_ratio burst = median_ratio(a, b);
    EXPECT_NEAR(burst.ratio, 1.105, 1e-12);
    EXPECT_NEAR(burst.low, 1.06, 1e-12);
    EXPECT_NEAR(burst.high, 1.15, 1e-12);
    EXPECT_LT(median_ratio(b, a).ratio, 1);  // b over a, not a over b
    EXPECT_EQ(paired_half_width(std::vector<double>(6, 1), std::vector<double>(6, 3)), 0.0);
    EXPECT_TRUE(std::isinf(paired_half_width(std::vector<double>(5, 1), std::vector<double>(5, 3))));
}

// The rounds take their cases from the grid: a pair of sequential sorts
// meets every case the suite gives the reference, 10^7 and the user's data
// included, and a parallel member only where the parallel rule runs it, at
// the rounds' thread count.
TEST(Rounds, CasesAreTheGrids)
{
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "rounds_cases.txt";
    std::ofstream(path) << "3\n1\n2\n5\n4\n9\n8\n7\n6\n0\n";
    bench_run run({}, read_user_data(path.string(), "int32", true, {10}));
    std::filesystem::remove(path);
    const auto named = [&](const char* id) {
        return &*std::find_if(run.contenders().begin(), run.contenders().end(),
                              [&](const contender& c) { return c.id == id; });
    };
    const std::vector<const contender*> group{named("std_sort"), named("pdqsort"), named("ips4o_par")};
    const grid_options grid = rounds_grid(run, false, 2);
    std::map<std::string, std::vector<std::string>> planned, listed;
    for_each_type([&]<class T>(T) {
        for (const planned_case& c : plan_rounds<T>(group, false, grid)) {
            for (const contender* m : c.members) planned[c.name].push_back(m->id);
            if (c.members.back()->parallel()) {
                EXPECT_EQ(c.threads, 2u) << c.name;
            }
        }
        for_each_case<T>(group, grid, [&](const grid_case& g) {
            if (!g.capped) listed[g.case_key].push_back(g.c->id);
        });
    });
    std::erase_if(listed, [](const auto& c) { return c.second.size() < 2 || c.second.front() != "std_sort"; });
    EXPECT_EQ(planned, listed);
    EXPECT_EQ(planned["random/10000000"], (std::vector<std::string>{"std_sort", "pdqsort"}));
    EXPECT_EQ(planned["random/1000000"], (std::vector<std::string>{"std_sort", "pdqsort", "ips4o_par"}));
    EXPECT_EQ(planned["ascending/1000000"], (std::vector<std::string>{"std_sort", "pdqsort"}));
    EXPECT_EQ(planned.count(std::string(run.data()->pattern().name) + "/10"), 1u);
}

}  // namespace
