// The five classic routines in their counting forms: the same generic code,
// on elements, comparisons and tallies that count.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "sorts/c_qsort.hpp"
#include "sorts/comb_sort.hpp"
#include "sorts/counting.hpp"
#include "sorts/ex_quick_sort.hpp"
#include "sorts/my_qsort.hpp"
#include "sorts/shell_sort.hpp"

namespace sorts {

// Each routine's counting form: what it did to sort a[0 .. n-1], which it
// sorts. c_qsort's moves happen inside the C library, where nothing counts
// them: they are not_counted.
template <class T>
op_counts count_shell_sort(T* a, std::uint32_t n)
{
    return count_through_elements(a, n, [](counted<T>* b, std::uint32_t m) { shell_sort(b, m); });
}

template <class T>
op_counts count_comb_sort(T* a, std::uint32_t n)
{
    return count_through_elements(a, n, [](counted<T>* b, std::uint32_t m) { comb_sort(b, m); });
}

template <class T>
op_counts count_ex_quick_sort(T* a, std::uint32_t n)
{
    return count_through_elements(a, n, [](counted<T>* b, std::uint32_t m) { ex_quick_sort(b, m); });
}

template <class T>
op_counts count_my_qsort(T* a, std::uint32_t n)
{
    tally_now = {};
    if (a != nullptr) quick_sort_sub(a, n, counting_three_way<T>{}, counting_tally{});
    return tally_now;
}

template <class T>
op_counts count_c_qsort(T* a, std::uint32_t n)
{
    tally_now = {};
    c_qsort<T, counting_qsort_cmp<T>>(a, n);
    return {tally_now.comparisons, not_counted};
}

// The counting form of routine `id` of the registry; nothing for an id that
// is not one of the five.
template <class T>
std::optional<op_counts> count_classic(std::string_view id, T* a, std::uint32_t n)
{
    if (id == "shell_sort") return count_shell_sort(a, n);
    if (id == "comb_sort") return count_comb_sort(a, n);
    if (id == "ex_quick_sort") return count_ex_quick_sort(a, n);
    if (id == "my_QSORT") return count_my_qsort(a, n);
    if (id == "c_qsort") return count_c_qsort(a, n);
    return std::nullopt;
}

}  // namespace sorts
