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

// What routine `id` of the registry did to sort a[0 .. n-1], which it
// sorts; nothing for an id that is not one of the five. c_qsort's moves
// happen inside the C library, where nothing counts them: its moves are
// reported as UINT64_MAX, "not available".
template <class T>
std::optional<op_counts> count_classic(std::string_view id, T* a, std::uint32_t n)
{
    const auto generic = [](auto* b, std::uint32_t m, std::string_view which) {
        if (which == "shell_sort") shell_sort(b, m);
        else if (which == "comb_sort") comb_sort(b, m);
        else ex_quick_sort(b, m);
    };
    if (id == "shell_sort" || id == "comb_sort" || id == "ex_quick_sort") {
        return count_through_elements(a, n, [&](counted<T>* b, std::uint32_t m) { generic(b, m, id); });
    }
    tally_now = {};
    if (id == "my_QSORT") {
        if (a != nullptr) quick_sort_sub(a, n, counting_three_way<T>{}, counting_tally{});
        return tally_now;
    }
    if (id == "c_qsort") {
        c_qsort<T, counting_qsort_cmp<T>>(a, n);
        return op_counts{tally_now.comparisons, UINT64_MAX};
    }
    return std::nullopt;
}

}  // namespace sorts
