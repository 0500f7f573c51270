#include "contenders.hpp"

#include <algorithm>
#include <bit>
#include <boost/sort/pdqsort/pdqsort.hpp>
#include <boost/sort/spreadsort/integer_sort.hpp>
#include <boost/sort/spreadsort/string_sort.hpp>
#include <cstddef>
#include <string_view>
#include <type_traits>
#include <boost/sort/sort.hpp>
#include <execution>
#include <hwy/contrib/sort/vqsort.h>
#include <ips4o.hpp>
#include <memory>
#include <tbb/global_control.h>
#include <hwy/targets.h>

#include "sorts/count_classics.hpp"

namespace {

using sorts::counted;
using sorts::op_counts;

// Each contender is a type with a static sort<T>, a takes<T> that says which
// element types it can sort, and, where it compares elements, a count<T>.

// A contender that sorts every element type.
struct every_type {
    template <class T>
    static constexpr bool takes = true;
};

// Sorts that compare through operator< count with the same code run on
// counted<T> elements.
template <class Self>
struct compares_elements : every_type {

    template <class T>
    static op_counts count(T* a, std::uint32_t n)
    {
        return sorts::count_through_elements(a, n, [](counted<T>* b, std::uint32_t m) { Self::sort(b, m); });
    }
};

// The classics count through their own counting forms.
struct shell : every_type {
    template <class T>
    static void sort(T* a, std::uint32_t n) { sorts::shell_sort(a, n); }
    template <class T>
    static op_counts count(T* a, std::uint32_t n) { return sorts::count_shell_sort(a, n); }
};

struct comb : every_type {
    template <class T>
    static void sort(T* a, std::uint32_t n) { sorts::comb_sort(a, n); }
    template <class T>
    static op_counts count(T* a, std::uint32_t n) { return sorts::count_comb_sort(a, n); }
};

struct ex_quick : every_type {
    template <class T>
    static void sort(T* a, std::uint32_t n) { sorts::ex_quick_sort(a, n); }
    template <class T>
    static op_counts count(T* a, std::uint32_t n) { return sorts::count_ex_quick_sort(a, n); }
};

struct c_qsort : every_type {
    template <class T>
    static void sort(T* a, std::uint32_t n) { sorts::c_qsort(a, n); }
    template <class T>
    static op_counts count(T* a, std::uint32_t n) { return sorts::count_c_qsort(a, n); }
};

struct my_qsort : every_type {
    template <class T>
    static void sort(T* a, std::uint32_t n) { sorts::quick_sort_sub(a, n); }
    template <class T>
    static op_counts count(T* a, std::uint32_t n) { return sorts::count_my_qsort(a, n); }
};

struct std_sort : compares_elements<std_sort> {
    template <class T>
    static void sort(T* a, std::uint32_t n) { std::sort(a, a + n); }
};

struct std_stable_sort : compares_elements<std_stable_sort> {
    template <class T>
    static void sort(T* a, std::uint32_t n) { std::stable_sort(a, a + n); }
};

struct pdqsort : compares_elements<pdqsort> {
    template <class T>
    static void sort(T* a, std::uint32_t n) { boost::sort::pdqsort(a, a + n); }
};

// Boost's default shift subtracts the smallest value from the largest in
// the signed type, which overflows (undefined behaviour, caught by the
// sanitizers) when the values span more than half the type's range, as the
// random pattern's do. Mapped to unsigned with the sign bit flipped, the
// values keep their order and that subtraction is unsigned; the elements
// themselves are compared as they are.
struct unsigned_shift {
    std::uint32_t operator()(std::int32_t x, unsigned offset) const
    {
        return (static_cast<std::uint32_t>(x) ^ 0x80000000u) >> offset;
    }
    std::uint64_t operator()(std::int64_t x, unsigned offset) const
    {
        return (static_cast<std::uint64_t>(x) ^ 0x8000000000000000u) >> offset;
    }
    std::uint64_t operator()(const kv16& x, unsigned offset) const { return x.key >> offset; }
    // A double's bits as an unsigned key in the double's order: negatives
    // with every bit flipped, the rest with the sign bit set. Boost's
    // float_sort does the same on signed keys and subtracts them, which
    // overflows for values spread over the whole range (as random's are).
    // Both zeros get one key: integer_sort finds its extremes by comparing
    // elements and indexes buckets by keys, so elements that compare equal
    // must have equal keys, or a bucket index falls outside the buckets.
    std::uint64_t operator()(double x, unsigned offset) const
    {
        const auto bits = std::bit_cast<std::uint64_t>(x == 0 ? 0.0 : x);
        return (bits >> 63 ? ~bits : bits | 0x8000000000000000u) >> offset;
    }
};

// A radix sort with comparison-sorted small buckets: its radix passes make
// no comparisons, so it has no count. Each type through its own entry point:
// integer_sort (on the key for kv16, on an unsigned key of the bits for
// double, as float_sort's own is but without its overflow), string_sort.
struct spreadsort : every_type {

    template <class T>
    static void sort(T* a, std::uint32_t n)
    {
        namespace ss = boost::sort::spreadsort;
        if constexpr (std::is_same_v<T, text>) {
            ss::string_sort(
                a, a + n, [](text s, std::size_t i) { return static_cast<unsigned char>(s[i]); },
                [](text s) { return s.size(); }, std::less<text>());
        } else {
            ss::integer_sort(a, a + n, unsigned_shift{}, std::less<T>());
        }
    }
};

// The sorter holds vqsort's scratch space, so that no call allocates.
const hwy::Sorter& sorter()
{
    static const hwy::Sorter instance;
    return instance;
}

static_assert(sizeof(kv16) == sizeof(hwy::K64V64) && alignof(kv16) == alignof(hwy::K64V64) &&
                  offsetof(kv16, value) == offsetof(hwy::K64V64, value) &&
                  offsetof(kv16, key) == offsetof(hwy::K64V64, key),
              "kv16 must be laid out as hwy::K64V64");

// Vectorised quicksort: keys and 64-bit key/value pairs, not strings.
struct vqsort {
    template <class T>
    static constexpr bool takes = !std::is_same_v<T, text>;

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

// Sequential anchors that were missing: in-place super scalar samplesort,
// and Boost.Sort's two stable sorts beside std::stable_sort. ips4o draws its
// samples with a generator seeded from std::random_device in every call, so
// its comparisons differ from run to run: it has no count.
struct ips4o_seq : every_type {

    template <class T>
    static void sort(T* a, std::uint32_t n) { ips4o::sort(a, a + n); }
};

struct spinsort : compares_elements<spinsort> {
    template <class T>
    static void sort(T* a, std::uint32_t n) { boost::sort::spinsort(a, a + n); }
};

// Boost 1.74's flat_stable_sort fails an assertion on an empty range (and
// reads out of bounds where assertions are off), so the adapter passes it
// only ranges with something to sort.
struct flat_stable_sort : compares_elements<flat_stable_sort> {
    template <class T>
    static void sort(T* a, std::uint32_t n)
    {
        if (n > 1) boost::sort::flat_stable_sort(a, a + n);
    }
};

// The parallel sorts. Each keeps what it needs for a thread count between
// calls: ips4o a pool of threads, the standard library's parallel algorithms
// (oneTBB underneath) a limit on TBB's workers, Boost.Sort only the count, as
// it starts its threads in every call. Setting one releases the others', so
// that no idle pool outlives its benchmarks.
unsigned threads_now = 1;
std::unique_ptr<ips4o::StdThreadPool> ips4o_pool;
std::unique_ptr<tbb::global_control> tbb_limit;

void release_thread_resources()
{
    ips4o_pool.reset();
    tbb_limit.reset();
}

template <class Self>
struct parallel_sort : every_type {

    static void use_threads(unsigned threads)
    {
        release_thread_resources();
        threads_now = threads;
        Self::prepare(threads);
    }
    static void prepare(unsigned) {}
};

struct ips4o_par : parallel_sort<ips4o_par> {
    static void prepare(unsigned threads) { ips4o_pool = std::make_unique<ips4o::StdThreadPool>(threads); }

    template <class T>
    static void sort(T* a, std::uint32_t n)
    {
        if (!ips4o_pool) prepare(threads_now);  // only when called before use_threads
        ips4o::parallel::sort(a, a + n, std::less<>(), *ips4o_pool);
    }
};

struct std_sort_par : parallel_sort<std_sort_par> {
    static void prepare(unsigned threads)
    {
        tbb_limit = std::make_unique<tbb::global_control>(tbb::global_control::max_allowed_parallelism, threads);
    }

    template <class T>
    static void sort(T* a, std::uint32_t n) { std::sort(std::execution::par, a, a + n); }
};

struct block_indirect_sort : parallel_sort<block_indirect_sort> {
    template <class T>
    static void sort(T* a, std::uint32_t n) { boost::sort::block_indirect_sort(a, a + n, threads_now); }
};

struct sample_sort : parallel_sort<sample_sort> {
    template <class T>
    static void sort(T* a, std::uint32_t n) { boost::sort::sample_sort(a, a + n, threads_now); }
};

struct parallel_stable_sort : parallel_sort<parallel_stable_sort> {
    template <class T>
    static void sort(T* a, std::uint32_t n) { boost::sort::parallel_stable_sort(a, a + n, threads_now); }
};

template <class C, class T>
typed_sort<T> typed_for()
{
    typed_sort<T> t;
    if constexpr (C::template takes<T>) {
        t.sort = &C::template sort<T>;
        if constexpr (requires { &C::template count<T>; }) {
            t.count = &C::template count<T>;
        }
    }
    return t;
}

template <class C>
contender make(std::string id, unsigned traits = 0)
{
    contender c{std::move(id), traits, nullptr,
                {typed_for<C, std::int32_t>(), typed_for<C, std::int64_t>(), typed_for<C, double>(),
                 typed_for<C, kv16>(), typed_for<C, text>()}};
    if constexpr (requires { C::use_threads(1u); }) {
        c.use_threads = C::use_threads;
    }
    return c;
}

// The generic form of each routine of the registry, by id; a routine
// without one runs on int32 alone.
contender classic(const routine_info& r)
{
    const std::string_view id = r.id;
    contender c = id == "shell_sort"    ? make<shell>(r.id, r.traits)
                  : id == "comb_sort"     ? make<comb>(r.id, r.traits)
                  : id == "ex_quick_sort" ? make<ex_quick>(r.id, r.traits)
                  : id == "c_qsort"       ? make<c_qsort>(r.id, r.traits)
                  : id == "my_QSORT"      ? make<my_qsort>(r.id, r.traits)
                                          : contender{r.id, r.traits, nullptr, {}};
    // On int32 the suite times the very functions sortbench calls.
    std::get<typed_sort<std::int32_t>>(c.typed).sort = r.sort;
    return c;
}

}  // namespace

std::vector<contender> contenders()
{
    std::vector<contender> all;
    for (const routine_info& r : routines) {
        all.push_back(classic(r));
    }
    all.push_back(make<std_sort>("std_sort"));
    all.push_back(make<std_stable_sort>("std_stable_sort"));
    all.push_back(make<pdqsort>("pdqsort"));
    all.push_back(make<spreadsort>("spreadsort"));
    all.push_back(make<vqsort>("vqsort"));
    all.push_back(make<ips4o_seq>("ips4o"));
    all.push_back(make<spinsort>("spinsort"));
    all.push_back(make<flat_stable_sort>("flat_stable_sort"));
    all.push_back(make<ips4o_par>("ips4o_par"));
    all.push_back(make<std_sort_par>("std_sort_par"));
    all.push_back(make<block_indirect_sort>("block_indirect_sort"));
    all.push_back(make<sample_sort>("sample_sort"));
    all.push_back(make<parallel_stable_sort>("parallel_stable_sort"));
    return all;
}

std::vector<unsigned> thread_counts(unsigned limit)
{
    std::vector<unsigned> counts;
    for (unsigned k = 1; k < limit; k *= 2) counts.push_back(k);
    counts.push_back(std::max(limit, 1u));
    return counts;
}

std::string vqsort_target()
{
    // Highway orders its targets best first by bit: the lowest bit that both
    // this CPU and the compiled targets have is the one dispatch picks.
    const std::int64_t usable = hwy::SupportedTargets() & HWY_TARGETS;
    return usable == 0 ? "none" : hwy::TargetName(usable & -usable);
}
