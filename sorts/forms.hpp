// What a sort is to the code that runs it: for each element type it takes, a
// function that sorts an array, and a counting form of the same code that
// sorts it and says how many comparisons and moves that took.
#pragma once

#include <cstdint>
#include <type_traits>

#include "inputs/element_types.hpp"
#include "sorts/counting.hpp"

template <class T>
using sort_fn = void(T* a, std::uint32_t n);

template <class T>
using count_fn = sorts::op_counts(T* a, std::uint32_t n);

// A function of an array, either plain or bound to state that it needs
// beside the array (a loaded library's entry point, a thread pool): the
// state is a pointer handed back on every call, so that no function has to
// find it in a global. Empty when there is no such function.
template <class R, class T>
class call_ref {
public:
    using plain_fn = R(T* a, std::uint32_t n);
    using bound_fn = R(void* state, T* a, std::uint32_t n);

    constexpr call_ref() = default;
    constexpr call_ref(plain_fn* f) : plain_(f) {}
    constexpr call_ref(bound_fn* f, void* state) : bound_(f), state_(state) {}

    R operator()(T* a, std::uint32_t n) const { return plain_ != nullptr ? plain_(a, n) : bound_(state_, a, n); }
    constexpr explicit operator bool() const { return plain_ != nullptr || bound_ != nullptr; }

    // For callers that pick the call once, outside a loop of calls.
    constexpr plain_fn* plain() const { return plain_; }
    constexpr bound_fn* bound() const { return bound_; }
    constexpr void* state() const { return state_; }

private:
    plain_fn* plain_ = nullptr;
    bound_fn* bound_ = nullptr;
    void* state_ = nullptr;
};

template <class T>
using sort_ref = call_ref<void, T>;

template <class T>
using count_ref = call_ref<sorts::op_counts, T>;

template <class T>
struct typed_sort {
    sort_ref<T> sort;    // empty: the sort cannot take T
    count_ref<T> count;  // empty: nothing to count (a radix or vector sort)
    // The same code on plain<T> elements, through the comparison under
    // test; empty where the counting form already sorts plain elements, or
    // for element types the faults are not run on.
    sort_ref<T> judged;
};

// Whether C has a judged<T> form (called, not named, so that a class
// without one reads as false to every compiler).
template <class C, class T>
concept has_judged_form = requires(T* a, std::uint32_t n) { C::judged(a, n); };

// C's judged<T>, or empty where it has none. A function of its own, so
// that C stays a template parameter where the name is looked up.
template <class C, class T>
constexpr sort_ref<T> judged_form_of()
{
    if constexpr (has_judged_form<C, T>) {
        return &C::template judged<T>;
    } else {
        return {};
    }
}

// The element types whose timed form is put through faulty comparisons.
template <class T>
inline constexpr bool judged_type =
    std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t> || std::is_same_v<T, text>;

struct sort_forms {
    per_type<typed_sort> typed;

    template <class T>
    constexpr const typed_sort<T>& of() const
    {
        return std::get<typed_sort<T>>(typed);
    }
    template <class T>
    constexpr typed_sort<T>& of()
    {
        return std::get<typed_sort<T>>(typed);
    }
};

template <class C, class T>
constexpr bool takes()
{
    if constexpr (requires { C::template takes<T>; }) {
        return C::template takes<T>;
    } else {
        return true;
    }
}

// The forms of C, a class with a static sort<T> for each T that its
// takes<T> admits (every type when it has no takes), and, where it can be
// counted, a static count<T>. `int32` replaces the int32_t sort: a routine
// hands in the very function that sortbench runs.
template <class C>
constexpr sort_forms forms_of(sort_fn<std::int32_t>* int32 = nullptr)
{
    sort_forms forms;
    for_each_type([&]<class T>(T) {
        if constexpr (takes<C, T>()) {
            typed_sort<T>& t = forms.of<T>();
            t.sort = &C::template sort<T>;
            if constexpr (requires { &C::template count<T>; }) {
                t.count = &C::template count<T>;
            }
            if constexpr (judged_type<T>) t.judged = judged_form_of<C, T>();
        }
    });
    if (int32 != nullptr) forms.of<std::int32_t>().sort = int32;
    return forms;
}

// A sort that compares elements with operator< alone and moves them by
// assignment, given as a captureless generic lambda (a, n): it takes every
// type, and it is counted by running the same code on counted<T> elements.
template <class Sort>
struct by_elements {
    template <class T>
    static void sort(T* a, std::uint32_t n)
    {
        Sort{}(a, n);
    }
    template <class T>
    static sorts::op_counts count(T* a, std::uint32_t n)
    {
        return sorts::count_through_elements(a, n, [](sorts::counted<T>* b, std::uint32_t m) { Sort{}(b, m); });
    }
    template <class T>
    static void judged(T* a, std::uint32_t n)
    {
        sorts::sort_wrapped<sorts::plain<T>>(a, n, [](sorts::plain<T>* b, std::uint32_t m) { Sort{}(b, m); });
    }
};

template <class Sort>
constexpr sort_forms forms_by_elements(Sort, sort_fn<std::int32_t>* int32 = nullptr)
{
    return forms_of<by_elements<Sort>>(int32);
}
