#include "timed_run.hpp"

#include <cstdio>
#include <cstdlib>

#include "platform/ticks.hpp"

namespace {

// Ordering errors found so far. Never reset: one budget serves every call.
std::int32_t err_cnt = 0;
constexpr std::int32_t error_budget = 100;

// Four spare elements (16 bytes) follow the last array. They stay zero and
// are never read.
constexpr std::size_t spare_elements = 4;

}  // namespace

std::int32_t ordering_errors()
{
    return err_cnt;
}

double test(std::int32_t num, sort_func* routine, std::uint32_t runs, int verbose,
            const char* name)
{
    static std::uint64_t s = 0;  // ticks per second; 0 until first needed

    // The element count is taken in size_t and calloc checks the byte count,
    // so a configuration too large for memory fails here instead of wrapping
    // to a small buffer that the fill would overrun. A negative count has no
    // buffer and takes the same way out.
    const std::size_t total = num < 0 ? 0 : static_cast<std::size_t>(num) * runs;
    auto* buf = num < 0 ? nullptr
                        : static_cast<std::int32_t*>(std::calloc(total + spare_elements, sizeof(std::int32_t)));
    if (verbose) {
        std::printf("%s : start\n", name);
    }
    if (buf == nullptr) {
        std::printf("%s : not enough memory.\n", name);
        std::exit(1);
    }

    // Every array starts out already ascending: element i holds i.
    for (std::size_t i = 0; i < total; ++i) {
        buf[i] = static_cast<std::int32_t>(i);
    }

    const auto n = static_cast<std::uint32_t>(num);
    const std::uint64_t t0 = perf_counter();
    std::int32_t* block = buf;
    for (std::uint32_t r = 0; r < runs; ++r, block += n) {
        routine(block, n);
    }
    const std::uint64_t t1 = perf_counter();
    const std::uint64_t elapsed = t1 - t0;

    block = buf;
    for (std::uint32_t r = 0; r < runs; ++r, block += n) {
        for (std::uint32_t j = 0; j + 1 < n; ++j) {
            if (block[j + 1] < block[j]) {
                std::printf("%s : <%d> [%d] : error %d,%d\n", name, static_cast<int>(r),
                            static_cast<int>(j), block[j], block[j + 1]);
                ++err_cnt;
            }
        }
        // The budget is checked between arrays only, so one badly sorted array
        // is always reported in full.
        if (err_cnt >= error_budget) {
            std::puts("too many errors.");
            break;
        }
    }
    std::free(buf);

    if (s == 0) {
        s = perf_frequency();
    }
    const double per_call = static_cast<double>(elapsed) / static_cast<double>(s * runs);
    if (verbose) {
        std::printf("%s : end(%g)\n", name, per_call);
    }
    return per_call;
}
