// How the generic routines see their elements.
//
// Shell sort, comb sort and the quick+insert sort compare elements with
// operator< alone and move them by assignment and std::swap, so an element
// type decides both: the plain types run as they are, and a counted<T>
// (sorts/counting.hpp) turns the very same code into an exact count of
// comparisons and moves. The qsort-style routines compare through a three-way
// function and move records as bytes, which no element type can see: they
// take the comparison as an argument and report their moves to a tally whose
// default, no_tally, compiles to nothing.
//
// The generic routines are [[gnu::noinline]], and the first three compare
// with operator< rather than through a function object: either way round,
// GCC 12 allocated the registers of Shell sort's inner loop differently (one
// move more per step, 5% more instructions on random input). As written, the
// int32_t instantiation is instruction for instruction the routine written
// for int32_t, and the sort_func wrapper is one jump.
#pragma once

#include <cstddef>

namespace sorts {

// The element type's own order.
template <class T>
struct natural_order {
    bool operator()(const T& x, const T& y) const { return x < y; }
};

// A three-way order made from a strict weak order, as a qsort() comparison
// function returns it: negative when x sorts first, zero when neither does,
// positive when y sorts first. For integers this is the sign of x - y without
// the subtraction, which would wrap for values more than half the range apart
// (2000000000 - -2000000000 is negative in 32 bits) and make the order
// intransitive.
//
// Written as a choice rather than as (x > y) - (x < y): GCC folds a test such
// as three_way(x, y) < 0 of this form into the single comparison x < y, but
// not of that one, which cost quick_sort_sub a third of its instructions.
template <class Less>
struct three_way {
    Less less{};
    int operator()(const auto& x, const auto& y) const { return less(x, y) ? -1 : (less(y, x) ? 1 : 0); }
};

// Element moves are counted as cpp-sort counts them: an exchange is three
// moves (through a temporary), a block move of k elements is k moves, and
// holding an element aside or storing it back is one each.
struct no_tally {
    void moved(std::size_t) const {}
};

}  // namespace sorts
