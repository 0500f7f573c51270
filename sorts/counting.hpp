// Exact operation counts from the routines' own code: an element type whose
// comparisons and copies count themselves, and the comparison and tally the
// qsort-style routines take. Counts go to one process-wide record per
// thread; counting is for single-threaded sorts, and nothing here is timed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sorts/order.hpp"

namespace sorts {

struct op_counts {
    std::uint64_t comparisons = 0;
    std::uint64_t moves = 0;
};

// A count that a sort cannot give.
inline constexpr std::uint64_t not_counted = UINT64_MAX;

inline thread_local op_counts tally_now;

// A T that counts: every operator< is one comparison, every copy or move
// (construction or assignment) one move, so std::swap counts three.
template <class T>
class counted {
public:
    counted() = default;
    explicit counted(const T& v) : value_(v) {}
    counted(const counted& o) : value_(o.value_) { ++tally_now.moves; }
    counted& operator=(const counted& o)
    {
        value_ = o.value_;
        ++tally_now.moves;
        return *this;
    }
    friend bool operator<(const counted& x, const counted& y)
    {
        ++tally_now.comparisons;
        return x.value_ < y.value_;
    }
    const T& value() const { return value_; }

private:
    T value_{};
};

// A three-way comparison that counts its calls, one comparison each, as a
// qsort() callback is counted.
template <class T>
struct counting_three_way {
    int operator()(const T& x, const T& y) const
    {
        ++tally_now.comparisons;
        return three_way<natural_order<T>>{}(x, y);
    }
};

struct counting_tally {
    void moved(std::size_t k) const { tally_now.moves += k; }
};

// A qsort() comparison function that counts its calls.
template <class T>
int counting_qsort_cmp(const void* x, const void* y)
{
    ++tally_now.comparisons;
    return three_way<natural_order<T>>{}(*static_cast<const T*>(x), *static_cast<const T*>(y));
}

// Sorts `a` with the counting form of `sort`, a generic sort of counted<T>
// elements through their operator<, and returns what it did.
template <class T, class Sort>
op_counts count_through_elements(T* a, std::uint32_t n, Sort sort)
{
    std::vector<counted<T>> wrapped;
    wrapped.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) wrapped.emplace_back(a[i]);
    tally_now = {};
    sort(wrapped.data(), n);
    const op_counts seen = tally_now;
    for (std::uint32_t i = 0; i < n; ++i) a[i] = wrapped[i].value();
    return seen;
}

}  // namespace sorts
