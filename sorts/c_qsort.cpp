#include "c_qsort.hpp"

#include "sorts.hpp"

int qsort_cmp(const void* x, const void* y)
{
    return sorts::qsort_cmp<std::int32_t>(x, y);
}

void c_qsort(std::int32_t* a, std::uint32_t n)
{
    sorts::c_qsort<std::int32_t, qsort_cmp>(a, n);
}

namespace {

// The comparisons are counted by the callback; the moves happen inside the
// C library, where nothing counts them.
struct generic {
    template <class T>
    static void sort(T* a, std::uint32_t n)
    {
        sorts::c_qsort(a, n);
    }
    template <class T>
    static sorts::op_counts count(T* a, std::uint32_t n)
    {
        sorts::tally_now = {};
        sorts::c_qsort<T, sorts::counting_qsort_cmp<T>>(a, n);
        return {sorts::tally_now.comparisons, sorts::not_counted};
    }
};

}  // namespace

constinit const sort_forms c_qsort_forms = forms_of<generic>(c_qsort);
