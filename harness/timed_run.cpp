#include "timed_run.hpp"

#include <cstddef>
#include <cstdio>

#include "platform/buffer.hpp"

namespace {

// Four spare elements (16 bytes) follow the last array. They stay zero and
// are never read.
constexpr std::size_t spare_elements = 4;

// True when no element of a[0 .. count-1] is less than the one before it.
// Written without an early exit so that the compiler vectorises it: this
// check runs over 40 MB per call, and arrays that pass it need no closer look.
bool all_ascending(const std::int32_t* a, std::size_t count)
{
    unsigned descents = 0;
    for (std::size_t i = 1; i < count; ++i) {
        descents |= a[i] < a[i - 1];
    }
    return descents == 0;
}

// Checks each array on its own, printing every out-of-order pair, and stops
// after the array in which the budget is spent.
std::int32_t report_descents(const std::int32_t* buf, std::uint32_t n, std::uint32_t runs,
                             const char* name, run_state& state)
{
    std::int32_t found = 0;
    const std::int32_t* block = buf;
    for (std::uint32_t r = 0; r < runs; ++r, block += n) {
        for (std::uint32_t j = 0; j + 1 < n; ++j) {
            if (block[j + 1] < block[j]) {
                std::printf("%s : <%d> [%d] : error %d,%d\n", name, static_cast<int>(r),
                            static_cast<int>(j), block[j], block[j + 1]);
                ++found;
                ++state.err_cnt;
            }
        }
        // The budget is checked between arrays only, so one badly sorted array
        // is always reported in full.
        if (state.err_cnt >= error_budget) {
            std::puts("too many errors.");
            break;
        }
    }
    return found;
}

}  // namespace

timed_result test(std::int32_t num, sort_func* routine, std::uint32_t runs, int verbose,
                  const char* name, run_state& state)
{
    // The element count is taken in size_t, so a configuration too large for
    // memory fails here instead of wrapping to a small buffer that the fill
    // would overrun. A negative count has no buffer and takes the same way out.
    const std::size_t total = num < 0 ? 0 : static_cast<std::size_t>(num) * runs;
    sort_buffer buffer = num < 0 ? sort_buffer{} : allocate_sort_buffer(total + spare_elements);
    if (verbose) {
        std::printf("%s : start\n", name);
    }
    if (buffer.data == nullptr) {
        std::printf("%s : not enough memory.\n", name);
        return {};
    }
    std::int32_t* const buf = buffer.data;

    // Every array starts out already ascending: element i holds i.
    for (std::size_t i = 0; i < total; ++i) {
        buf[i] = static_cast<std::int32_t>(i);
    }

    const auto n = static_cast<std::uint32_t>(num);
    const std::uint64_t t0 = state.ticks.counter();
    std::int32_t* block = buf;
    for (std::uint32_t r = 0; r < runs; ++r, block += n) {
        routine(block, n);
    }
    const std::uint64_t t1 = state.ticks.counter();
    const std::uint64_t elapsed = t1 - t0;

    timed_result result{.allocated = true};
    // The whole buffer ascending means every array is, and nothing is
    // printed; a spent budget still needs the first array checked and
    // "too many errors." printed, so it takes the array-by-array way too.
    if (state.err_cnt >= error_budget || !all_ascending(buf, total)) {
        result.ordering_errors = report_descents(buf, n, runs, name, state);
    }
    release_sort_buffer(buffer);

    if (state.s == 0) {
        state.s = state.ticks.frequency();
    }
    result.seconds_per_call = static_cast<double>(elapsed) / static_cast<double>(state.s * runs);
    if (verbose) {
        std::printf("%s : end(%g)\n", name, result.seconds_per_call);
    }
    return result;
}
