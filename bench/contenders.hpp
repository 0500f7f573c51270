// What the companion suite times: the registry's routines, then the standard
// library's sorts and the state of the art as anchors. Each contender has a
// sort for every element type it can take, and, where it compares elements,
// a counting form of the same code.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "bench/batch.hpp"
#include "inputs/elements.hpp"
#include "sorts/counting.hpp"
#include "sorts/registry.hpp"

// Sorts a[0 .. n-1] and returns the comparisons and moves it made; a count
// the contender cannot give is not_counted.
template <class T>
using count_fn = sorts::op_counts(T* a, std::uint32_t n);

using sorts::not_counted;

template <class T>
struct typed_sort {
    sort_fn<T>* sort = nullptr;    // null: the contender cannot take T
    count_fn<T>* count = nullptr;  // null: no comparisons to count (a radix or vector sort)
};

struct contender {
    std::string id;
    unsigned traits = 0;  // routine_trait bits
    // Non-null for a parallel sort: sets the number of threads its next
    // calls use (and makes its thread pool), outside any timed window.
    void (*use_threads)(unsigned threads) = nullptr;
    std::tuple<typed_sort<std::int32_t>, typed_sort<std::int64_t>, typed_sort<double>, typed_sort<kv16>,
               typed_sort<text>>
        typed;

    template <class T>
    const typed_sort<T>& of() const
    {
        return std::get<typed_sort<T>>(typed);
    }
};

std::vector<contender> contenders();

// The thread counts a parallel contender runs at: 1, 2, 4, ... below
// `limit`, then `limit` itself (the machine's hardware threads unless told
// otherwise).
std::vector<unsigned> thread_counts(unsigned limit);

// The instruction set vqsort dispatches to on this machine, e.g. "AVX3".
std::string vqsort_target();
