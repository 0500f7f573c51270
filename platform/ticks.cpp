#include "ticks.hpp"

#include <ctime>

namespace {
constexpr std::uint64_t ns_per_second = 1'000'000'000;
}

std::uint64_t perf_counter()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * ns_per_second
           + static_cast<std::uint64_t>(ts.tv_nsec);
}

std::uint64_t perf_frequency()
{
    return ns_per_second;
}
