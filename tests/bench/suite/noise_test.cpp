// The noise flag, and the context every result file carries.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
                            "transparent_huge_pages", "cpu_governor", "suite_version", "vqsort_target",
                            "cpu_caches", "cpu_caches_source"}) {
        ASSERT_TRUE(context.count(key)) << key;
        EXPECT_FALSE(context[key].empty()) << key;
    }
    EXPECT_EQ(selected_setting("always [madvise] never"), "madvise");
    EXPECT_EQ(selected_setting("performance"), "performance");
}

// A VM may list no caches in sysfs, or only some: the rest come from CPUID,
// and the source says which came from where.
TEST(Context, CachesFallBackToCpuidLevelByLevel)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "sortbench-caches-test";
    std::filesystem::remove_all(dir);
    const cache_list none = processor_caches((dir / "absent").string());
    EXPECT_EQ(none.source, "glibc's sysconf (CPUID)");
    for (const char* level : {"L1d ", "L2 ", "L3 "}) EXPECT_NE(none.text.find(level), std::string::npos) << none.text;

    std::filesystem::create_directories(dir / "index0");
    for (const auto& [file, text] : {std::pair{"level", "1"}, {"type", "Data"}, {"size", "7K"}}) {
        std::ofstream(dir / "index0" / file) << text << "\n";
    }
    const cache_list some = processor_caches(dir.string());
    EXPECT_EQ(some.text.rfind("L1d 7K, L1i ", 0), 0u) << some.text;
    EXPECT_EQ(some.text.find("L1d", 1), std::string::npos) << some.text;
    EXPECT_EQ(some.source.rfind("sysfs; L1i, L2, L3", 0), 0u) << some.source;
    std::filesystem::remove_all(dir);
}

}  // namespace
