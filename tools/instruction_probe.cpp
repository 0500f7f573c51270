// Sorts one fixed input with one routine of the registry, counting under
// callgrind only the routine's call: `instruction_probe ID PATTERN SIZE`.
// tools/instructions.py runs it for every routine; the counts are the same
// on every run of the same binary, whatever else the machine is doing.
#include <valgrind/callgrind.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "inputs/patterns.hpp"
#include "sorts/registry.hpp"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s ROUTINE_ID PATTERN SIZE\n", argv[0]);
        return 2;
    }
    const routine_info* routine = nullptr;
    for (const routine_info& r : routines) {
        if (std::string_view(r.id) == argv[1]) routine = &r;
    }
    const pattern_info* pat = nullptr;
    for (const pattern_info& p : all_patterns) {
        if (p.name == argv[2]) pat = &p;
    }
    const long n = std::strtol(argv[3], nullptr, 10);
    if (routine == nullptr || pat == nullptr || n < 0) {
        std::fprintf(stderr, "%s: unknown routine or pattern, or a negative size\n", argv[0]);
        return 2;
    }
    std::vector<std::int32_t> a(static_cast<std::size_t>(n));
    fill_pattern(pat->p, a, 1);

    CALLGRIND_TOGGLE_COLLECT;
    routine->sort(a.data(), static_cast<std::uint32_t>(n));
    CALLGRIND_TOGGLE_COLLECT;

    if (!std::is_sorted(a.begin(), a.end())) {
        std::fprintf(stderr, "%s did not sort %s/%ld\n", routine->id, pat->name.data(), n);
        return 1;
    }
    return 0;
}
