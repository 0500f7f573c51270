// The sequential anchors in scalar code: the standard library's sorts and
// the state of the art from Boost.Sort and ips4o, each adapted to the suite's
// shape. Highway's vqsort stands in a unit of its own (vqsort_anchors.cpp), so
// that a program run under valgrind links none of it.
#include <algorithm>
#include <bit>
#include <boost/sort/pdqsort/pdqsort.hpp>
#include <boost/sort/sort.hpp>
#include <boost/sort/spreadsort/integer_sort.hpp>
#include <boost/sort/spreadsort/string_sort.hpp>
#include <cstddef>
#include <ips4o.hpp>
#include <type_traits>

#include "contenders.hpp"

// Boost's string_sort swaps through an unqualified iter_swap, which argument
// lookup finds for std:: types only; the string record is a C struct in the
// global namespace.
inline void iter_swap(text* x, text* y)
{
    std::swap(*x, *y);
}

inline void iter_swap(url* x, url* y)
{
    std::swap(*x, *y);
}

namespace {

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
    std::uint64_t operator()(const rec100& x, unsigned offset) const { return key_of(x) >> offset; }
    std::uint64_t operator()(const rec1k& x, unsigned offset) const { return x.key >> offset; }
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
struct spreadsort {
    template <class T>
    static void sort(T* a, std::uint32_t n)
    {
        namespace ss = boost::sort::spreadsort;
        if constexpr (std::is_same_v<T, text> || std::is_same_v<T, url>) {
            ss::string_sort(
                a, a + n, [](const T& s, std::size_t i) { return static_cast<unsigned char>(s.bytes[i]); },
                [](const T& s) { return s.length; }, std::less<T>());
        } else {
            ss::integer_sort(a, a + n, unsigned_shift{}, std::less<T>());
        }
    }
};

// In-place super scalar samplesort. It draws its samples with a generator
// seeded from std::random_device in every call, so its comparisons differ
// from run to run: its counting form runs on counted elements, so that a
// comparison under test reaches it, but says it has no count.
struct ips4o_seq {
    template <class T>
    static void sort(T* a, std::uint32_t n)
    {
        ips4o::sort(a, a + n);
    }
    template <class T>
    static sorts::op_counts count(T* a, std::uint32_t n)
    {
        sorts::count_through_elements(a, n, [](sorts::counted<T>* b, std::uint32_t m) { ips4o::sort(b, b + m); });
        return {not_counted, not_counted};
    }
    template <class T>
    static void judged(T* a, std::uint32_t n)
    {
        sorts::sort_wrapped<sorts::plain<T>>(a, n, [](sorts::plain<T>* b, std::uint32_t m) { ips4o::sort(b, b + m); });
    }
};

contender anchor(std::string id, const sort_forms& forms, const char* claims = "")
{
    contender c{std::move(id), 0, forms, {}};
    c.claims = claims;
    return c;
}

// What each library's authors state of its comparisons, and where.
constexpr const char* std_sort_claims =
    "random: n log n  # ISO C++ [sort]: O(N log N) comparisons\n"
    "worst: n log n  # ISO C++ [sort]: O(N log N) comparisons, a worst-case bound since C++11";
constexpr const char* std_stable_sort_claims =
    "random: n log n  # ISO C++ [stable.sort]: at most N log2 N comparisons given enough extra memory\n"
    "worst: n log n  # ISO C++ [stable.sort]: at most N log2 N comparisons given enough extra memory\n"
    "stable  # ISO C++ [stable.sort]: the relative order of equivalent elements is preserved";
constexpr const char* pdqsort_claims =
    "ascending: n  # pdqsort's README: linear time on strictly ascending input\n"
    "descending: n  # pdqsort's README: linear time on strictly descending input\n"
    "all_equal: n  # pdqsort's README: linear time on input of equal elements\n"
    "push_front: n  # pdqsort's README: linear time on ascending input followed by one element out of place\n"
    "few_distinct: n  # Peters, Pattern-defeating Quicksort (2021): O(nk) for k distinct values; k = 8 here\n"
    "random: n log n  # pdqsort's README: average n log n\n"
    "worst: n log n  # pdqsort's README: worst case n log n";
// Boost.Sort's table: best N, average N log N, worst N log N; stable.
constexpr const char* boost_stable_claims =
    "ascending: n  # Boost.Sort documentation: best case N, on sorted input\n"
    "random: n log n  # Boost.Sort documentation: average N log N\n"
    "worst: n log n  # Boost.Sort documentation: worst case N log N\n"
    "stable  # Boost.Sort documentation";

}  // namespace

std::vector<contender> scalar_anchor_contenders()
{
    std::vector<contender> out{
        anchor("std_sort", forms_by_elements([](auto* a, std::uint32_t n) { std::sort(a, a + n); }), std_sort_claims),
        anchor("std_stable_sort", forms_by_elements([](auto* a, std::uint32_t n) { std::stable_sort(a, a + n); }),
               std_stable_sort_claims),
        anchor("pdqsort", forms_by_elements([](auto* a, std::uint32_t n) { boost::sort::pdqsort(a, a + n); }),
               pdqsort_claims),
        anchor("spreadsort", forms_of<spreadsort>(),
               "worst: n log n  # Boost.Sort documentation: the lesser of O(N log N) comparisons and O(N (K/S + S))"),
        anchor("ips4o", forms_of<ips4o_seq>(),
               "random: n log n  # Axtmann et al., In-place Parallel Super Scalar Samplesort (2017): O(n log n) expected"),
        // Boost.Sort's two stable sorts, beside std::stable_sort.
        anchor("spinsort", forms_by_elements([](auto* a, std::uint32_t n) { boost::sort::spinsort(a, a + n); }),
               boost_stable_claims),
        // Boost 1.74's flat_stable_sort fails an assertion on an empty range
        // (and reads out of bounds where assertions are off), so it is
        // handed only ranges with something to sort.
        anchor("flat_stable_sort", forms_by_elements([](auto* a, std::uint32_t n) {
                   if (n > 1) boost::sort::flat_stable_sort(a, a + n);
               }), boost_stable_claims),
    };
    return out;
}
