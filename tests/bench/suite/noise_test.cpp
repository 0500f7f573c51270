// The noise flag, and the context every result file carries.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "bench/engine/context.hpp"
#include "bench/suite/noise.hpp"

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
