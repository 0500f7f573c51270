// The suite's contenders: each sorts every type it takes, in its timed and
// counting forms; the registry's carry the registry's own forms; stability
// as measured; a parallel sort runs with its case's thread count; a
// library names itself.
#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "bench/counts/counts.hpp"
#include "bench/engine/parallel.hpp"
#include "bench/suite/suite.hpp"

namespace {

bool in_registry(const contender& c)
{
    return std::any_of(routines.begin(), routines.end(), [&](const routine_info& r) { return c.id == r.id; });
}

// Every contender that is not a routine of the registry (whose forms the
// sort grid covers) on every type it takes, in both its timed and its
// counting form, over patterns and sizes around the cut-offs: ordered, and a
// permutation of the input; and an empty array. The example contender
// library is one of them.
TEST(Contenders, SortEveryTypeTheyTake)
{
    const bench_run run({SORTBENCH_EXAMPLE_CONTENDER});
    ASSERT_EQ(run.contenders().back().id, "heapsort");
    for (const contender& c : run.contenders()) {
        if (in_registry(c)) continue;
        for_each_type([&]<class T>(T) {
            const typed_sort<T>& s = c.of<T>();
            if (!s.sort) return;
            if (c.parallel()) c.use_threads(2);
            T untouched{};  // an empty array at a valid address, as qsort() requires
            s.sort(&untouched, 0);
            if (s.count) s.count(&untouched, 0);
            for (const pattern_info& p : all_patterns) {
                for (const std::uint32_t n : {1u, 2u, 33u, 100u, 1000u}) {
                    SCOPED_TRACE(benchmark_name(c.id, p.name, n, element_traits<T>::name, false));
                    auto in = prepare<T>(p.p, n, 3);
                    time_batch(*in, s.sort, false, monotonic_ticks);
                    EXPECT_TRUE(batch_sorted(*in)) << "timed form";
                    if (!s.count) continue;
                    std::copy(in->input.begin(), in->input.end(), in->work.begin());
                    for (std::size_t k = 0; k < in->copies; ++k) s.count(in->work.data() + k * n, n);
                    EXPECT_TRUE(batch_sorted(*in)) << "counting form";
                }
            }
        });
    }
}

// The suite times and counts a routine of the registry through the very
// functions the registry holds, on every type; on int32 the one sortbench runs.
TEST(Contenders, RegistryRoutinesAreTheRegistrysForms)
{
    const bench_run run;
    for (const routine_info& r : routines) {
        const auto c = std::find_if(run.contenders().begin(), run.contenders().end(),
                                    [&](const contender& x) { return x.id == r.id; });
        ASSERT_NE(c, run.contenders().end()) << r.id;
        EXPECT_EQ(c->traits, r.traits);
        EXPECT_EQ(c->of<std::int32_t>().sort.plain(), r.sort) << r.id;
        for_each_type([&]<class T>(T) {
            EXPECT_EQ(c->of<T>().sort.plain(), r.forms->of<T>().sort.plain()) << r.id;
            EXPECT_EQ(c->of<T>().count.plain(), r.forms->of<T>().count.plain()) << r.id;
        });
    }
}

class quiet_reporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>&) override {}
};

// A parallel contender's benchmark at K threads runs its sort with K
// threads, as the sort's library is handed them; 3 is more than this
// machine may have, so that no default can pass for it.
TEST(Contenders, ParallelSortsRunWithTheirCasesThreadCount)
{
    bench_run run;
    for (const contender& c : run.contenders()) {
        if (!c.parallel()) continue;
        for (const unsigned k : {3u, 1u}) {
            SCOPED_TRACE(c.id + " at " + std::to_string(k));
            benchmark::ClearRegisteredBenchmarks();
            register_sort_case(run, sort_case<std::int32_t>{c.id, c.of<std::int32_t>().sort, pattern::random, 100000,
                                                            false, monotonic_ticks, k, c.use_threads})
                ->Iterations(1);
            quiet_reporter reporter;
            benchmark::RunSpecifiedBenchmarks(&reporter);
            EXPECT_EQ(run.pools().last_call_threads(), k);
        }
    }
    benchmark::ClearRegisteredBenchmarks();
}

// A library's own sortbench_name() names it, whatever its file is called.
TEST(Contenders, LibraryNamesItself)
{
    const std::filesystem::path copy = std::filesystem::temp_directory_path() / "libanything_else.so";
    std::filesystem::copy_file(SORTBENCH_EXAMPLE_CONTENDER, copy, std::filesystem::copy_options::overwrite_existing);
    {
        const bench_run run({copy.string()});
        EXPECT_EQ(run.contenders().back().id, "heapsort");
    }
    std::filesystem::remove(copy);
}

// An '=' in a path is part of the path unless a usable name stands before
// it: NAME=PATH names the library, and a path whose '=' follows a folder
// loads as the path it is.
TEST(Contenders, EqualsInAPathIsAPath)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "build=2";
    std::filesystem::create_directories(dir);
    const std::filesystem::path copy = dir / "libheapsort.so";
    std::filesystem::copy_file(SORTBENCH_EXAMPLE_CONTENDER, copy, std::filesystem::copy_options::overwrite_existing);
    {
        const bench_run run({copy.string(), "mine=" + copy.string()});
        ASSERT_GE(run.contenders().size(), 2u);
        EXPECT_EQ(run.contenders()[run.contenders().size() - 2].id, "heapsort");
        EXPECT_EQ(run.contenders().back().id, "mine");
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
