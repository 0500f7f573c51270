// Sorts one pattern's array once with one contender of the suite, any element
// type, counting under callgrind only that call: `cache_probe CONTENDER
// PATTERN SIZE TYPE`. The array is sorted once before, untimed, so that a
// sort's first-call setup is not counted; tools/cachesim.py runs it with the
// cache and branch simulation on.
#include <valgrind/callgrind.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "bench/engine/batch.hpp"
#include "bench/engine/contenders.hpp"

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s CONTENDER PATTERN SIZE TYPE\n", argv[0]);
        return 2;
    }
    // valgrind decodes no AVX-512, and Highway's library runs RDTSCP as it
    // loads, which valgrind refuses where the processor does not report it:
    // the probe links no vqsort, and says so rather than "no such contender".
    if (std::string_view(argv[1]).starts_with("vqsort")) {
        std::fprintf(stderr, "%s: %s cannot be simulated: valgrind cannot run its vector code, so the probe does not "
                     "link it\n", argv[0], argv[1]);
        return 2;
    }
    // The sequential contenders only, and no thread pool: a thread of a pool
    // that ran while collection is on would add its instructions to the sort's.
    std::vector<contender> contenders;
    for (const routine_info& r : routines) contenders.push_back(registry_contender(r));
    for (contender& c : scalar_anchor_contenders()) contenders.push_back(std::move(c));
    const contender* chosen = nullptr;
    for (const contender& c : contenders) {
        if (c.id == argv[1]) chosen = &c;
    }
    const pattern_info* pat = nullptr;
    for (const pattern_info& p : all_patterns) {
        if (p.name == argv[2]) pat = &p;
    }
    char* end = nullptr;
    const unsigned long n = std::strtoul(argv[3], &end, 10);
    if (chosen == nullptr || pat == nullptr || *end != '\0' || n == 0 || n > 100'000'000) {
        std::fprintf(stderr, "%s: no sequential contender %s, no pattern %s, or a size not from 1 to 10^8\n",
                     argv[0], argv[1], argv[2]);
        return 2;
    }
    int status = -1;
    visit_type(argv[4], [&]<class T>(T) {
        const sort_ref<T> sort = chosen->of<T>().sort;
        if (!sort) {
            std::fprintf(stderr, "%s does not sort %s\n", argv[1], argv[4]);
            status = 2;
            return;
        }
        const auto in = prepare<T>(pat->p, static_cast<std::uint32_t>(n), 1);
        sort(in->work.data(), in->n);
        std::copy(in->input.begin(), in->input.end(), in->work.begin());
        CALLGRIND_TOGGLE_COLLECT;
        sort(in->work.data(), in->n);
        CALLGRIND_TOGGLE_COLLECT;
        status = batch_sorted(*in) ? 0 : 1;
        if (status != 0) std::fprintf(stderr, "%s did not sort %s/%lu/%s\n", argv[1], argv[2], n, argv[4]);
    });
    if (status < 0) std::fprintf(stderr, "%s: no element type %s\n", argv[0], argv[4]);
    return status < 0 ? 2 : status;
}
