// libFuzzer target: the first byte picks a routine, the rest are the array's
// elements (4 bytes each, little-endian). The result must equal std::sort of
// the same input, and guard values on both sides must be untouched.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "sorts/registry.hpp"

namespace {
constexpr std::size_t guard_len = 4;
constexpr std::int32_t left_guard = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t right_guard = std::numeric_limits<std::int32_t>::min();
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const routine_info& r = routines[data[0] % routines.size()];
    const std::size_t n = (size - 1) / sizeof(std::int32_t);

    std::vector<std::int32_t> buf(n + 2 * guard_len);
    std::fill(buf.begin(), buf.end(), left_guard);
    std::fill(buf.end() - guard_len, buf.end(), right_guard);
    std::memcpy(buf.data() + guard_len, data + 1, n * sizeof(std::int32_t));
    std::vector<std::int32_t> expected(buf.begin() + guard_len, buf.end() - guard_len);
    std::sort(expected.begin(), expected.end());

    r.sort(buf.data() + guard_len, static_cast<std::uint32_t>(n));

    const bool guards_intact =
        std::all_of(buf.begin(), buf.begin() + guard_len, [](std::int32_t v) { return v == left_guard; }) &&
        std::all_of(buf.end() - guard_len, buf.end(), [](std::int32_t v) { return v == right_guard; });
    if (!guards_intact || !std::equal(expected.begin(), expected.end(), buf.begin() + guard_len)) {
        std::abort();
    }
    return 0;
}
