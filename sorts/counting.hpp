// Exact operation counts from the routines' own code: an element type whose
// comparisons and copies count themselves, and the comparison and tally the
// qsort-style routines take. Counts go to one process-wide record per
// thread; counting is for single-threaded sorts, and nothing here is timed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
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

// The comparison under test: where it is set for T, the counting forms ask
// it, not T's order, whether x sorts before y, handing it back its state. It
// puts a sort through a comparison that is not a strict weak order, or
// through an adversary that decides the input as the sort asks; nothing that
// is timed consults it.
template <class T>
struct comparison_under_test {
    bool (*less)(void* state, const T& x, const T& y) = nullptr;
    void* state = nullptr;

    bool operator()(const T& x, const T& y) const { return less(state, x, y); }
};

template <class T>
inline thread_local comparison_under_test<T> under_test;

// Puts a comparison under test for T for as long as it lives, then the one
// before it back, thrown or not.
template <class T>
class under_test_scope {
public:
    explicit under_test_scope(comparison_under_test<T> c) : before_(under_test<T>) { under_test<T> = c; }
    ~under_test_scope() { under_test<T> = before_; }
    under_test_scope(const under_test_scope&) = delete;
    under_test_scope& operator=(const under_test_scope&) = delete;

private:
    comparison_under_test<T> before_;
};

// One counted comparison: whether x sorts before y.
template <class T>
bool counted_less(const T& x, const T& y)
{
    ++tally_now.comparisons;
    return under_test<T>.less != nullptr ? under_test<T>(x, y) : x < y;
}

// One counted three-way comparison, as a qsort() callback answers.
template <class T>
int counted_three_way(const T& x, const T& y)
{
    ++tally_now.comparisons;
    if (under_test<T>.less != nullptr) {
        return under_test<T>(x, y) ? -1 : (under_test<T>(y, x) ? 1 : 0);
    }
    return three_way<natural_order<T>>{}(x, y);
}

// Where set for T, what a counted<T> that is moved from holds afterwards: a
// value no input has, so that a sort that leaves a moved-from element in the
// array shows it. Unset, a move leaves the value, as a copy does.
template <class T>
inline thread_local const T* moved_from_mark = nullptr;

// A T that counts: every operator< is one comparison, every copy or move
// (construction or assignment) one move, so std::swap counts three. The
// moves are not noexcept, as the copies are not, so that a library takes the
// same path whether it moves or copies. The value is mutable, as a field a
// comparison may change in an element it is given.
template <class T>
class counted {
public:
    counted() = default;
    explicit counted(const T& v) : value_(v) {}
    counted(const counted& o) : value_(o.value_) { ++tally_now.moves; }
    counted(counted&& o) : value_(o.value_)
    {
        ++tally_now.moves;
        if (moved_from_mark<T> != nullptr) o.value_ = *moved_from_mark<T>;
    }
    counted& operator=(const counted& o)
    {
        value_ = o.value_;
        ++tally_now.moves;
        return *this;
    }
    counted& operator=(counted&& o)
    {
        value_ = o.value_;
        ++tally_now.moves;
        if (moved_from_mark<T> != nullptr && &o != this) o.value_ = *moved_from_mark<T>;
        return *this;
    }
    friend bool operator<(const counted& x, const counted& y) { return counted_less(x.value_, y.value_); }
    const T& value() const { return value_; }

private:
    mutable T value_{};
};

// T as the timed build holds it, trivially copyable and uncounted, but
// compared through the comparison under test: a fault then takes the paths a
// library keeps for plain elements (moves by memmove, no moved-from state).
template <class T>
struct plain {
    mutable T held;

    friend bool operator<(const plain& x, const plain& y) { return under_test<T>(x.held, y.held); }
    const T& value() const { return held; }
};

// A three-way comparison that counts its calls, one comparison each, as a
// qsort() callback is counted.
template <class T>
struct counting_three_way {
    int operator()(const T& x, const T& y) const { return counted_three_way(x, y); }
};

struct counting_tally {
    void moved(std::size_t k) const { tally_now.moves += k; }
};

// A qsort() comparison function that counts its calls.
template <class T>
int counting_qsort_cmp(const void* x, const void* y)
{
    return counted_three_way(*static_cast<const T*>(x), *static_cast<const T*>(y));
}

// Where the counted copy of an array lives while it is sorted: by default a
// vector; a test that watches for reads and writes outside the array hands
// in memory with guards around it.
struct counted_storage {
    void* (*place)(void* state, std::size_t bytes) = nullptr;
    void* state = nullptr;
};

inline thread_local counted_storage counted_copy_storage;

// Sorts `a` by sorting a copy of it as W elements (counted<T> or plain<T>)
// with `sort`, then copying their values back.
template <class W, class T, class Sort>
void sort_wrapped(T* a, std::uint32_t n, Sort sort)
{
    std::vector<W> own;
    W* wrapped = nullptr;
    if (counted_copy_storage.place != nullptr) {
        wrapped = static_cast<W*>(counted_copy_storage.place(counted_copy_storage.state, n * sizeof(W)));
        for (std::uint32_t i = 0; i < n; ++i) new (wrapped + i) W{a[i]};
    } else {
        own.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i) own.push_back(W{a[i]});
        wrapped = own.data();
    }
    sort(wrapped, n);
    for (std::uint32_t i = 0; i < n; ++i) a[i] = wrapped[i].value();
}

// Sorts `a` with the counting form of `sort`, a generic sort of counted<T>
// elements through their operator<, and returns what it did.
template <class T, class Sort>
op_counts count_through_elements(T* a, std::uint32_t n, Sort sort)
{
    op_counts seen;
    sort_wrapped<counted<T>>(a, n, [&](counted<T>* b, std::uint32_t m) {
        tally_now = {};
        sort(b, m);
        seen = tally_now;
    });
    return seen;
}

}  // namespace sorts
