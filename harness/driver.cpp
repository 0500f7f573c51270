#include "driver.hpp"

#include <cstdio>
#include <cstring>

#include "report.hpp"
#include "sjis.hpp"
#include "timed_run.hpp"

int verbose_requested(int argc, const char* const* argv)
{
    int verbose = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-v") == 0) {
            verbose = 1;
        }
    }
    return verbose;
}

int run_benchmark(int verbose, std::span<const routine_slot> routines)
{
    std::array<test_case, case_count> test_cases = initial_test_cases;
    std::array<const char*, slot_count> sort_name{};

    std::fprintf(stderr, "\n%s (%dbytes) %s SORT %s\n", "int",
                 static_cast<int>(sizeof(std::int32_t)), sjis::no, sjis::tesuto);

    // Configuration outer, routine inner: each size is measured for every
    // routine before the next size starts.
    for (test_case& tc : test_cases) {
        const auto runs = static_cast<std::uint32_t>(tc.loop) * 10;
        if (verbose) {
            std::fprintf(stderr, "%s %9d, %s %9d\n", sjis::kosuu, tc.num, sjis::shori_kaisuu,
                         static_cast<int>(runs));
        }
        for (const routine_slot& r : routines) {
            tc.result[r.slot] = test(tc.num, r.routine, runs, verbose, r.label);
        }
    }
    for (const routine_slot& r : routines) {
        sort_name[r.slot] = r.label;
    }

    write_report(stdout, test_cases, sort_name);
    // A run that found unsorted arrays must not look like success to a script.
    return ordering_errors() > 0 ? 2 : 0;
}
