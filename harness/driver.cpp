#include "driver.hpp"

#include <stdio_ext.h>

#include <cerrno>
#include <cstring>
#include <vector>

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

int run_benchmark(int verbose, std::span<const routine_info> list)
{
    run_state state;
    std::vector<report_row> rows;
    for (const routine_info& r : list) {
        rows.push_back({r.label, {}});
    }

    std::fprintf(stderr, "\n%s (%dbytes) %s SORT %s\n", "int",
                 static_cast<int>(sizeof(std::int32_t)), sjis::no, sjis::tesuto);

    // Configuration outer, routine inner: each size is measured for every
    // routine before the next size starts.
    for (std::size_t c = 0; c < test_cases.size(); ++c) {
        const test_case& tc = test_cases[c];
        const auto runs = static_cast<std::uint32_t>(tc.loop) * 10;
        if (verbose) {
            // The start and end lines on standard output come before this
            // size's line on standard error when both go to one file.
            std::fflush(stdout);
            std::fprintf(stderr, "%s %9d, %s %9d\n", sjis::kosuu, tc.num, sjis::shori_kaisuu,
                         static_cast<int>(runs));
        }
        for (std::size_t i = 0; i < list.size(); ++i) {
            const timed_result r = test(tc.num, list[i].sort, runs, verbose, list[i].label, state);
            if (!r.allocated) {
                return exit_out_of_memory;
            }
            rows[i].seconds[c] = r.seconds_per_call;
        }
    }

    write_report(stdout, rows);
    // A run that found unsorted arrays must not look like success to a script.
    return state.err_cnt > 0 ? exit_ordering_errors : exit_clean;
}

int close_output(std::FILE* out, std::FILE* diagnostics, int status)
{
    // As coreutils' close_stdout: a write that failed earlier leaves the error
    // flag set, and glibc retries what is still buffered on close, so errno
    // then names the cause. A stream that was closed from the start (EBADF)
    // is an error only when something was written to it.
    const bool pending = __fpending(out) != 0;
    const bool failed_before = std::ferror(out) != 0;
    errno = 0;
    const bool close_failed = std::fclose(out) != 0;
    if (failed_before || (close_failed && (pending || errno != EBADF))) {
        // errno is 0 when the failed write was flushed before and nothing
        // was left to retry; the cause is then unknown.
        if (errno != 0) {
            std::fprintf(diagnostics, "sortbench: write error: %s\n", std::strerror(errno));
        } else {
            std::fputs("sortbench: write error\n", diagnostics);
        }
        return exit_write_error;
    }
    return status;
}
