// What one getrandom(2) call of 24 bytes costs here, as vqsort makes one on
// every call with Debian's Highway: prints the median and the minimum over 21
// rounds of 20,000 calls, in nanoseconds per call, and the uptime load.
#include <sys/random.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/ticks.hpp"

int main()
{
    constexpr int rounds = 21, calls = 20000;
    std::vector<double> ns;
    unsigned char seed[24];
    for (int r = 0; r < rounds; ++r) {
        const std::uint64_t t0 = perf_counter();
        for (int i = 0; i < calls; ++i) {
            if (getrandom(seed, sizeof seed, 0) != static_cast<ssize_t>(sizeof seed)) {
                std::perror("getrandom");
                return 1;
            }
        }
        ns.push_back(static_cast<double>(perf_counter() - t0) / calls);
    }
    std::sort(ns.begin(), ns.end());
    double load = 0;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) load = 0;
        std::fclose(f);
    }
    std::printf("getrandom(24 bytes): median %.0f ns, minimum %.0f ns per call (%d rounds of %d; load %.2f)\n",
                ns[rounds / 2], ns[0], rounds, calls, load);
    return 0;
}
