// Highway's vectorised quicksort as an anchor, and pinned to each instruction
// set below the one it picks. Apart from the scalar anchors because Highway's
// library runs code as it loads (RDTSCP, which valgrind refuses where the
// processor does not report it) and its sort runs AVX-512, which valgrind
// cannot decode: whatever runs under valgrind links the scalar anchors only.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <hwy/contrib/sort/vqsort.h>
#include <hwy/highway.h>
#include <hwy/targets.h>
#include <type_traits>

#include "contenders.hpp"

namespace {

// The sorter holds vqsort's scratch space, so that no call allocates. It is
// made on first use and kept: scratch memory, not a result of any run.
const hwy::Sorter& sorter()
{
    static const hwy::Sorter instance;
    return instance;
}

static_assert(sizeof(kv16) == sizeof(hwy::K64V64) && alignof(kv16) == alignof(hwy::K64V64) &&
                  offsetof(kv16, value) == offsetof(hwy::K64V64, value) &&
                  offsetof(kv16, key) == offsetof(hwy::K64V64, key),
              "kv16 must be laid out as hwy::K64V64");

// Vectorised quicksort: keys and 64-bit key/value pairs; not strings, URLs
// or records larger than 16 bytes.
struct vqsort {
    template <class T>
    static constexpr bool takes = std::is_arithmetic_v<T> || std::is_same_v<T, kv16>;

    template <class T>
    static void sort(T* a, std::uint32_t n)
    {
        if constexpr (std::is_same_v<T, kv16>) {
            sorter()(reinterpret_cast<hwy::K64V64*>(a), n, hwy::SortAscending());
        } else {
            sorter()(a, n, hwy::SortAscending());
        }
    }
};

// The targets this processor supports, read before any contender pins one.
std::int64_t own_targets()
{
    static const std::int64_t targets = hwy::SupportedTargets();
    return targets;
}

// vqsort on one instruction set. Highway dispatches on the targets it is told
// the processor supports: each call tells it one, then the processor's own,
// both given as masks, so that the processor is not asked again (CPUID, a
// trap to the hypervisor in a VM). The two settings lie inside the timed
// window: a few stores each.
template <std::int64_t Target>
struct vqsort_at {
    template <class T>
    static constexpr bool takes = vqsort::takes<T>;

    template <class T>
    static void sort(T* a, std::uint32_t n)
    {
        hwy::SetSupportedTargetsForTest(Target);
        vqsort::sort(a, n);
        hwy::SetSupportedTargetsForTest(own_targets());
    }
};

// The targets a vqsort may be pinned to, best first.
struct pinned_vqsort {
    std::int64_t target;
    sort_forms forms;
};
const pinned_vqsort pinned_vqsorts[] = {
    {HWY_AVX3, forms_of<vqsort_at<HWY_AVX3>>()},
    {HWY_AVX2, forms_of<vqsort_at<HWY_AVX2>>()},
    {HWY_SSE4, forms_of<vqsort_at<HWY_SSE4>>()},
};

}  // namespace

std::vector<contender> anchor_contenders()
{
    std::vector<contender> out = scalar_anchor_contenders();
    // vqsort's place in the tables is right after the other radix-style
    // anchor, spreadsort, as it has always been listed.
    const auto after = std::find_if(out.begin(), out.end(), [](const contender& c) { return c.id == "spreadsort"; });
    out.insert(after == out.end() ? out.end() : after + 1, contender{"vqsort", 0, forms_of<vqsort>(), {}});
    // Every target below the one vqsort picks that this processor runs; the
    // one it picks is vqsort itself.
    const std::int64_t usable = own_targets() & HWY_TARGETS;
    const std::int64_t best = usable & -usable;
    for (const pinned_vqsort& v : pinned_vqsorts) {
        if ((usable & v.target) == 0 || v.target == best) continue;
        std::string name = "vqsort_";
        for (const char* c = hwy::TargetName(v.target); *c != '\0'; ++c) {
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
        }
        contender c{std::move(name), 0, v.forms, {}};
        c.pinned_target = true;
        out.push_back(std::move(c));
    }
    return out;
}

std::string highway_version()
{
    return std::to_string(HWY_MAJOR) + "." + std::to_string(HWY_MINOR) + "." + std::to_string(HWY_PATCH);
}

std::string vqsort_target()
{
    // Highway orders its targets best first by bit: the lowest bit that both
    // this CPU and the compiled targets have is the one dispatch picks.
    const std::int64_t usable = hwy::SupportedTargets() & HWY_TARGETS;
    return usable == 0 ? "none" : hwy::TargetName(usable & -usable);
}
