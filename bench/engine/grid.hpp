// The grid of a run: which cases it holds, what each is called, and how far
// a quadratic case is taken. The suite registers these cases and
// sortbench-counts counts them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "bench/engine/contenders.hpp"
#include "inputs/elements.hpp"
#include "inputs/patterns.hpp"
#include "inputs/sizes.hpp"
#include "inputs/user_data.hpp"

// Beyond the cache: 10^7 elements (40 MB of int32, more than this machine's
// 32 MiB L3) in every run, and 10^8 on request, where memory bandwidth
// decides. Only on random and ascending int32 and int64, warm, for the
// sequential sorts (sortbench's five with the full grid only): at these
// sizes a call takes up to seconds.
inline constexpr std::uint32_t beyond_cache_size = 10'000'000;
inline constexpr std::uint32_t huge_size = 100'000'000;
template <class T>
bool in_beyond_cache_run(pattern p, bool cold)
{
    constexpr bool integer = std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t>;
    return integer && !cold && (p == pattern::random || p == pattern::ascending);
}

// What a run with 10^8 elements holds at once, at most: each case's input,
// its reference and the array it sorts, of int32 and int64 (a run keeps the
// inputs it has made), and a merge sort's buffer as large as an int64 array.
inline constexpr std::uint64_t huge_run_bytes = std::uint64_t{huge_size} * (3 * (4 + 8) + 8);

// Empty when `available` bytes (available_memory(): MemAvailable) hold a
// run with 10^8 elements; otherwise the one line that says so.
std::string huge_run_refusal(std::uint64_t available);

// The routine_trait bits of the sorts that take quadratic time on a pattern
// of these pattern_shape bits.
unsigned quadratic_traits(unsigned shape);

// The largest size the suite runs `c` on pattern `p`.
std::uint32_t size_cap(const contender& c, const pattern_info& p);

// A case's name: pattern/size, then the element type unless it is int32,
// then "threads:K" for a parallel sort on K threads (`threads` 0 for a
// sequential one), then "cold" for arrays that come from memory.
std::string case_name(std::string_view pattern, std::uint32_t n, std::string_view type, bool cold,
                      unsigned threads = 0);

// The benchmark's name: contender/ and the case's name.
std::string benchmark_name(const std::string& contender, std::string_view pattern, std::uint32_t n,
                           std::string_view type, bool cold, unsigned threads = 0);

// The largest array of the suite's sizes a type runs at: 128 MiB, so that a
// case's input, reference and work copies stay within a few hundred MB
// (rec1k stops at 100,000 elements).
inline constexpr std::uint64_t largest_array_bytes = std::uint64_t{128} << 20;

// Whether the default run includes this case, of the suite's sizes. int32
// runs the first fourteen patterns everywhere, the others at 10,000
// elements, warm; int64, double, kv16 and string the patterns and sizes that
// tell the types apart (random, ascending, descending, few_distinct and zipf
// at 100, 10,000 and 1,000,000 elements), warm; the records and URLs random
// and ascending at 10,000, warm; so that a full run stays near ten minutes.
template <class T>
bool in_default_run(pattern p, std::uint32_t n, bool cold)
{
    if constexpr (std::is_same_v<T, std::int32_t>) {
        const bool classic = static_cast<std::size_t>(p) < classic_patterns;
        return classic || (!cold && n == 10000);
    } else if constexpr (std::is_same_v<T, rec100> || std::is_same_v<T, rec1k> || std::is_same_v<T, url>) {
        return !cold && (p == pattern::random || p == pattern::ascending) && n == 10000;
    } else {
        const bool telling = p == pattern::random || p == pattern::ascending || p == pattern::descending ||
                             p == pattern::few_distinct || p == pattern::zipf;
        return !cold && telling && (n == 100 || n == 10000 || n == 1000000);
    }
}

// The parallel sorts' part of the default run: int32, random and
// few_distinct input, warm, from 10,000 elements up, where threads can pay.
// A contender pinned to one instruction set, in the default run: int32 and
// int64, random and ascending, at 10,000 and 1,000,000 elements, warm; what
// tells the targets apart without doubling the run.
template <class T>
bool in_default_pinned_run(pattern p, std::uint32_t n, bool cold)
{
    constexpr bool integer = std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t>;
    return integer && !cold && (p == pattern::random || p == pattern::ascending) && (n == 10000 || n == 1000000);
}

template <class T>
bool in_default_parallel_run(pattern p, std::uint32_t n, bool cold)
{
    return std::is_same_v<T, std::int32_t> && (p == pattern::random || p == pattern::few_distinct) && n >= 10000 &&
           !cold;
}

// The thread counts a parallel contender runs at: 1, 2, 4, ... below
// `limit`, then `limit` itself (the machine's hardware threads unless told
// otherwise).
std::vector<unsigned> thread_counts(unsigned limit);

struct grid_options {
    bool full_grid = false;    // every type on every pattern, size and cache state
    unsigned max_threads = 1;  // the parallel sorts' largest thread count
    // The user's data: one more pattern, on its type and sizes, warm (and
    // cold with full_grid); the parallel sorts at max_threads alone.
    const user_data* data = nullptr;
    bool huge = false;  // 10^8 elements too

    // Narrower grids, for the programs that need them.
    bool warm_only = false;        // no cold cases: a count does not depend on the cache
    bool sequential_only = false;  // no parallel sorts
    bool widest_only = false;      // a parallel sort at max_threads alone
    // Only these patterns, when given (the user's data stays if `data` is set).
    std::vector<pattern> patterns{};
    // These sizes on every pattern and type that `full_grid` would run,
    // instead of the suite's sizes and the default run's choice of them, and
    // nothing beyond the cache.
    std::vector<std::uint32_t> sizes{};
};

struct grid_case {
    const contender* c;
    const pattern_info* p;
    std::uint32_t n;
    bool cold;
    unsigned threads;  // 0 for a sequential sort
    std::string name;  // contender/case
    bool capped;       // beyond size_cap: named, but not run
    // The case alone, pattern/size[/type][/cold]: what every contender that
    // takes it sorts, whatever its thread count.
    std::string case_key;
};

// Calls f(grid_case) for each case of element type T, in the suite's order:
// contenders that take T as listed, then patterns (the user's data last),
// sizes, warm before cold, thread counts.
template <class T, class F>
void for_each_case(const std::vector<const contender*>& all, const grid_options& options, F&& f)
{
    const std::string_view type = element_traits<T>::name;
    const bool data = options.data != nullptr && options.data->holds<T>();
    const auto wanted_pattern = [&](const pattern_info& p) {
        return options.patterns.empty() ||
               std::find(options.patterns.begin(), options.patterns.end(), p.p) != options.patterns.end();
    };
    const bool given_sizes = !options.sizes.empty();
    const auto sizes = given_sizes ? std::span<const std::uint32_t>(options.sizes)
                                   : std::span<const std::uint32_t>(suite_sizes);
    for (const contender* cp : all) {
        const contender& c = *cp;
        if (!c.of<T>().sort || (options.sequential_only && c.parallel())) continue;
        const std::vector<unsigned> threads =
            !c.parallel()         ? std::vector<unsigned>{0}
            : options.widest_only ? std::vector<unsigned>{std::max(options.max_threads, 1u)}
                                  : thread_counts(options.max_threads);
        const auto each = [&](const pattern_info& p, std::uint32_t n, bool cold, unsigned k) {
            if (cold && options.warm_only) return;
            f(grid_case{&c, &p, n, cold, k, benchmark_name(c.id, p.name, n, type, cold, k), n > size_cap(c, p),
                        case_name(p.name, n, type, cold)});
        };
        for (const pattern_info& p : all_patterns) {
            if (!wanted_pattern(p)) continue;
            for (const std::uint32_t n : sizes) {
                if (std::uint64_t{n} * sizeof(T) > largest_array_bytes) continue;
                for (const bool cold : {false, true}) {
                    const bool wanted = c.parallel()        ? in_default_parallel_run<T>(p.p, n, cold)
                                        : c.pinned_target ? in_default_pinned_run<T>(p.p, n, cold)
                                                          : in_default_run<T>(p.p, n, cold);
                    if (!options.full_grid && !given_sizes && !wanted) continue;
                    for (const unsigned k : threads) each(p, n, cold, k);
                }
            }
        }
        // sortbench's own routines take 1.1 to 2 times std_sort's time and
        // more at 10^6 (comb and Shell sort's gaps, qsort's callbacks): at
        // 10^7 they run with the full grid only.
        const bool slow = std::any_of(routines.begin(), routines.end(), [&](const routine_info& r) { return r.id == c.id; });
        for (const pattern_info& p : all_patterns) {
            if (given_sizes || !wanted_pattern(p)) continue;
            if (c.parallel() || ((slow || c.pinned_target) && !options.full_grid) || !in_beyond_cache_run<T>(p.p, false)) {
                continue;
            }
            each(p, beyond_cache_size, false, 0);
            if (options.huge) each(p, huge_size, false, 0);
        }
        if (!data) continue;
        for (const std::uint32_t n : options.data->sizes()) {
            for (const bool cold : {false, true}) {
                if (cold && !options.full_grid) continue;
                each(options.data->pattern(), n, cold, c.parallel() ? options.max_threads : 0);
            }
        }
    }
}

template <class T, class F>
void for_each_case(const std::vector<contender>& all, const grid_options& options, F&& f)
{
    std::vector<const contender*> pointers;
    for (const contender& c : all) pointers.push_back(&c);
    for_each_case<T>(pointers, options, std::forward<F>(f));
}
