// The advice's arithmetic without a clock: how a file is split, which
// contenders the constraints leave in, and the tie and the regret on
// scripted rounds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "bench/advise/advise.hpp"
#include "bench/engine/bench_run.hpp"
#include "bench/engine/stability.hpp"
#include "platform/call_costs.hpp"

namespace {

TEST(Advice, SplitsTheFileIntoRacedAndHeldOutArrays)
{
    const auto quarters = split_data(100000, 0);
    ASSERT_TRUE(quarters);
    EXPECT_EQ(quarters->n, 25000u);
    EXPECT_EQ(quarters->training, 2u);
    EXPECT_EQ(quarters->held_out, 2u);
    const auto odd = split_data(100001, 30000);  // three arrays, the extra one held out
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->training, 1u);
    EXPECT_EQ(odd->held_out, 2u);
    EXPECT_FALSE(split_data(7, 0));          // arrays of one element
    EXPECT_FALSE(split_data(10, 6));         // one array: nothing to hold out
    EXPECT_TRUE(split_data(8, 0));
}

// A file whose halves differ (0.. then 1000..): the race's arrays come from
// the first, the held-out ones from the rest, and none from both.
TEST(Advice, RacedAndHeldOutArraysAreDisjoint)
{
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "advice_halves.int32";
    std::vector<std::int32_t> values;
    for (std::int32_t i = 0; i < 20; ++i) values.push_back(i);
    for (std::int32_t i = 0; i < 30; ++i) values.push_back(1000 + i);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(values.data(), sizeof(std::int32_t), values.size(), f);
    std::fclose(f);
    const auto data = read_user_data(path.string(), "int32", false, {10});
    std::filesystem::remove(path);
    const auto split = split_data(data->count(), 10);
    ASSERT_TRUE(split);
    const advice_shares shares = share_out(*data, *split);
    ASSERT_EQ(shares.training->count(), 20u);
    ASSERT_EQ(shares.held_out->count(), 30u);
    std::vector<std::int32_t> a(10);
    for (std::size_t k = 0; k < 2; ++k) {
        shares.training->fill(std::span(a), k);
        EXPECT_EQ(a.front(), static_cast<std::int32_t>(10 * k));
    }
    for (std::size_t k = 0; k < 3; ++k) {
        shares.held_out->fill(std::span(a), k);
        EXPECT_EQ(a.front(), static_cast<std::int32_t>(1000 + 10 * k));
    }
}

// At the suite's cap a quadratic routine still runs on data that repeats
// values; one element more and it is left out.
TEST(Advice, QuadraticCapAtExactlyItsSize)
{
    const bench_run run;
    const auto find = [&](const char* id) -> const contender& {
        return *std::find_if(run.contenders().begin(), run.contenders().end(),
                             [&](const contender& c) { return c.id == id; });
    };
    const pattern_info& equal = *pattern_named("all_equal");
    EXPECT_FALSE(quadratic_here(find("ex_quick_sort"), equal, quadratic_cap));
    EXPECT_TRUE(quadratic_here(find("ex_quick_sort"), equal, quadratic_cap + 1));
    EXPECT_FALSE(quadratic_here(find("std_sort"), equal, quadratic_cap + 1));
}

// The constraints against what is measured of the real contenders: equal
// keys kept in order, allocations during a call.
TEST(Advice, ConstraintsLeaveInWhatMeetsThem)
{
    const bench_run run;
    const auto find = [&](const char* id) -> const contender& {
        return *std::find_if(run.contenders().begin(), run.contenders().end(),
                             [&](const contender& c) { return c.id == id; });
    };
    const auto facts = [&](const contender& c) {
        candidate_facts f;
        f.takes_type = static_cast<bool>(c.of<std::int32_t>().sort);
        f.stable = !first_instability(c, 2).has_value();
        if (allocations_counted()) {
            std::vector<std::int32_t> a(10000);
            fill_pattern(pattern::random, a, 1);
            const std::uint64_t before = allocations_so_far().calls;
            c.of<std::int32_t>().sort(a.data(), 10000);
            f.allocations_per_call = static_cast<double>(allocations_so_far().calls - before);
        }
        return f;
    };
    const advice_constraints stable{true, false, 1}, in_place{false, true, 1}, none{};
    EXPECT_TRUE(meets(find("std_stable_sort"), facts(find("std_stable_sort")), stable));
    EXPECT_FALSE(meets(find("std_sort"), facts(find("std_sort")), stable));
    EXPECT_TRUE(meets(find("std_sort"), facts(find("std_sort")), none));
    std::string why;
    EXPECT_FALSE(meets(find("vqsort_sse4"), facts(find("vqsort_sse4")), none, &why)) << why;
    const contender& parallel = *std::find_if(run.contenders().begin(), run.contenders().end(),
                                              [](const contender& c) { return c.parallel(); });
    EXPECT_FALSE(meets(parallel, facts(parallel), none));
    EXPECT_TRUE(meets(parallel, facts(parallel), {false, false, 2}));
    if (!allocations_counted()) GTEST_SKIP() << "allocations are not counted in this build";
    EXPECT_TRUE(meets(find("pdqsort"), facts(find("pdqsort")), in_place));
    EXPECT_FALSE(meets(find("std_stable_sort"), facts(find("std_stable_sort")), in_place, &why));
    EXPECT_EQ(why, "allocates during the call");
}

// Three members in scripted rounds: the reference, the pick, the runner-up.
rounds_case scripted(const std::vector<double>& reference, const std::vector<double>& pick,
                     const std::vector<double>& runner_up)
{
    static const contender members[3]{};
    rounds_case r;
    r.members = {&members[0], &members[1], &members[2]};
    r.rounds.resize(3);
    for (const auto& [m, times] : {std::pair{0, reference}, {1, pick}, {2, runner_up}}) {
        for (const double t : times) {
            round_figures f;
            f.cpu_ns = t;
            r.rounds[m].push_back(f);
        }
    }
    return r;
}

TEST(Advice, TieAndRegretOnScriptedRounds)
{
    const std::vector<double> reference(12, 100);
    // The pick and the runner-up trade places round by round: a tie.
    std::vector<double> pick, runner_up;
    for (int i = 0; i < 12; ++i) {
        pick.push_back(i % 2 ? 49 : 51);
        runner_up.push_back(50);
    }
    const confirmation tie = confirm(scripted(reference, pick, runner_up), 1, 2);
    EXPECT_TRUE(tie.tie);
    EXPECT_DOUBLE_EQ(tie.pick_over_reference.ratio, 0.5);
    // The runner-up is faster everywhere held out: no tie, and the pick's
    // time over the best one's is the regret.
    const confirmation beaten = confirm(scripted(reference, std::vector<double>(12, 50), std::vector<double>(12, 40)), 1, 2);
    EXPECT_FALSE(beaten.tie);
    EXPECT_EQ(beaten.best, 2u);
    EXPECT_DOUBLE_EQ(beaten.regret.ratio, 1.25);
    const confirmation held = confirm(scripted(reference, std::vector<double>(12, 30), std::vector<double>(12, 40)), 1, 2);
    EXPECT_EQ(held.best, 1u);
    EXPECT_DOUBLE_EQ(held.regret.ratio, 1.0);
    // A reference that does not meet the constraints (std_sort under
    // --stable) is not the best to regret, however fast.
    const confirmation unmet = confirm(scripted(std::vector<double>(12, 20), std::vector<double>(12, 30),
                                                std::vector<double>(12, 40)), 1, 2, false);
    EXPECT_EQ(unmet.best, 1u);
}

// Held out over two processes, the pick's ratio is theirs together: one
// process that saw it at 0.5 of the reference and one at 0.6 give neither
// alone, and an interval that holds both; the runner-up that won in one
// process and lost in the other is a tie.
TEST(Advice, ConfirmationOverProcesses)
{
    const std::vector<double> reference(12, 100);
    const held_out_rounds held{{reference, std::vector<double>(12, 50), std::vector<double>(12, 55)},
                               {reference, std::vector<double>(12, 60), std::vector<double>(12, 55)}};
    const confirmation c = confirm(held, 1, 2);
    EXPECT_NEAR(c.pick_over_reference.ratio, std::sqrt(0.5 * 0.6), 1e-12);
    EXPECT_LT(c.pick_over_reference.low, 0.5);
    EXPECT_GT(c.pick_over_reference.high, 0.6);
    EXPECT_EQ(c.pick_over_reference.processes, 2u);
    EXPECT_TRUE(c.tie);
}

// The reference races in every group but is picked only where it meets the
// constraints: fastest here, it leads the ranking and not the candidates'.
TEST(Advice, PickAndRunnerUpMeetTheConstraints)
{
    const rounds_case race =
        scripted(std::vector<double>(12, 20), std::vector<double>(12, 40), std::vector<double>(12, 30));
    EXPECT_EQ(ranked(race).front().first, 0u);
    const auto order = ranked_candidates(race, {false, true, true});
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0].first, 2u);
    EXPECT_EQ(order[1].first, 1u);
    EXPECT_DOUBLE_EQ(order[0].second.ratio, 1.5);
    EXPECT_EQ(ranked_candidates(race, {true, false, true}).front().first, 0u);
}

}  // namespace
