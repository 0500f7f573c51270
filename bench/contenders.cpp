#include "contenders.hpp"

#include <algorithm>
#include <boost/sort/pdqsort/pdqsort.hpp>
#include <boost/sort/spreadsort/integer_sort.hpp>
#include <hwy/contrib/sort/vqsort.h>
#include <hwy/targets.h>

namespace {

void std_sort(std::int32_t* a, std::uint32_t n)
{
    std::sort(a, a + n);
}

void std_stable_sort(std::int32_t* a, std::uint32_t n)
{
    std::stable_sort(a, a + n);
}

void pdqsort(std::int32_t* a, std::uint32_t n)
{
    boost::sort::pdqsort(a, a + n);
}

// Boost's default shift subtracts the smallest value from the largest in
// int, which overflows (undefined behaviour, caught by the sanitizers) when
// the values span more than 2^31, as the random pattern's do. Mapped to
// unsigned with the sign bit flipped, the values keep their order and that
// subtraction is unsigned; the elements themselves are compared as they are.
struct unsigned_shift {
    std::uint32_t operator()(std::int32_t x, unsigned offset) const
    {
        return (static_cast<std::uint32_t>(x) ^ 0x80000000u) >> offset;
    }
};

void spreadsort(std::int32_t* a, std::uint32_t n)
{
    boost::sort::spreadsort::integer_sort(a, a + n, unsigned_shift{});
}

// The sorter holds vqsort's scratch space, so that no call allocates.
const hwy::Sorter& sorter()
{
    static const hwy::Sorter instance;
    return instance;
}

void vqsort(std::int32_t* a, std::uint32_t n)
{
    sorter()(a, n, hwy::SortAscending());
}

}  // namespace

std::vector<contender> contenders()
{
    std::vector<contender> all;
    for (const routine_info& r : routines) {
        all.push_back({r.id, r.sort, r.traits});
    }
    all.push_back({"std_sort", std_sort, 0});
    all.push_back({"std_stable_sort", std_stable_sort, 0});
    all.push_back({"pdqsort", pdqsort, 0});
    all.push_back({"spreadsort", spreadsort, 0});
    all.push_back({"vqsort", vqsort, 0});
    return all;
}

std::string vqsort_target()
{
    // Highway orders its targets best first by bit: the lowest bit that both
    // this CPU and the compiled targets have is the one dispatch picks.
    const std::int64_t usable = hwy::SupportedTargets() & HWY_TARGETS;
    return usable == 0 ? "none" : hwy::TargetName(usable & -usable);
}
