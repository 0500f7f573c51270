#include "my_qsort.hpp"

#include <climits>

#include "sorts.hpp"

void quick_sort_sub(std::int32_t* a, std::uint32_t n)
{
    sorts::quick_sort_sub(a, n);
}

void my_QSORT(std::int32_t* a, std::int32_t n)
{
    if (a == nullptr || n < 0) {
        return;
    }
    quick_sort_sub(a, static_cast<std::uint32_t>(n));
}

void my_qsort_unsigned(std::int32_t* a, std::uint32_t n)
{
    if (n <= INT32_MAX) {
        my_QSORT(a, static_cast<std::int32_t>(n));
    } else if (a != nullptr) {
        // Beyond 2^31 - 1 elements (8 GiB) the signed count cannot carry n;
        // the worker takes it unsigned.
        quick_sort_sub(a, n);
    }
}

namespace {

// Counted through its own three-way comparison and tally: the byte-wise
// exchanges and block moves are records no element type could see move.
struct generic {
    template <class T>
    static void sort(T* a, std::uint32_t n)
    {
        sorts::quick_sort_sub(a, n);
    }
    template <class T>
    static sorts::op_counts count(T* a, std::uint32_t n)
    {
        sorts::tally_now = {};
        sorts::quick_sort_sub(a, n, sorts::counting_three_way<T>{}, sorts::counting_tally{});
        return sorts::tally_now;
    }
};

}  // namespace

constinit const sort_forms my_QSORT_forms = forms_of<generic>(my_qsort_unsigned);
