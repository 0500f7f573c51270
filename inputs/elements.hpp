// The element types the companion suite sorts, and what the suite needs of
// each: a name, the order the sorts use (operator<), a finer order and an
// identity for checking results, and how a pattern's 32-bit value becomes an
// element.
//
// Every type keeps the meaning of every pattern: a pattern is made as 32-bit
// values first, then each value v is mapped to the type by a strictly
// increasing map, so equal values stay equal and ascending input stays
// ascending in the type's order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <string_view>
#include <tuple>

#include "inputs/element_types.hpp"

template <class T>
struct element_traits;

// The finer order and identity below tell apart what operator< does not:
// the payloads of equal keys. A result is
// correct when it is ordered by operator< and, sorted again by the finer
// order, is identical to the input sorted by it.
template <>
struct element_traits<std::int32_t> {
    static constexpr std::string_view name = "int32";
    static bool finer(std::int32_t x, std::int32_t y) { return x < y; }
    static bool same(std::int32_t x, std::int32_t y) { return x == y; }
    static std::int32_t from(std::int32_t v, std::size_t) { return v; }
};

template <>
struct element_traits<std::int64_t> {
    static constexpr std::string_view name = "int64";
    static bool finer(std::int64_t x, std::int64_t y) { return x < y; }
    static bool same(std::int64_t x, std::int64_t y) { return x == y; }
    static std::int64_t from(std::int32_t v, std::size_t);
};

// The two zeros are one value to a sort: equal in the order, and equal here.
// A sort may hand back either (Highway 1.0.3's vqsort does: it writes copies
// of its pivot over the elements equal to it, turning -0.0 into 0.0 or the
// other way round), and the check accepts that.
template <>
struct element_traits<double> {
    static constexpr std::string_view name = "double";
    static bool finer(double x, double y) { return x < y; }
    static bool same(double x, double y) { return x == y; }
    static double from(std::int32_t v, std::size_t position);
};

template <>
struct element_traits<kv16> {
    static constexpr std::string_view name = "kv16";
    static bool finer(const kv16& x, const kv16& y) { return std::tie(x.key, x.value) < std::tie(y.key, y.value); }
    static bool same(const kv16& x, const kv16& y) { return x == y; }
    static kv16 from(std::int32_t v, std::size_t position);
};

// Strings and URLs: the bytes are the whole value.
template <string_record S>
struct string_traits {
    static bool finer(S x, S y) { return x < y; }
    static bool same(S x, S y) { return x == y; }
};

template <>
struct element_traits<text> : string_traits<text> {
    static constexpr std::string_view name = "string";
    static text from(std::int32_t v, std::size_t position);
};

// Records: the key as int64's value, the payload's first word the
// element's position in its array (so a stable sort can be told from an
// unstable one), the rest derived from it, so that a payload torn from its
// key or half copied shows.
template <>
struct element_traits<rec100> {
    static constexpr std::string_view name = "rec100";
    static bool finer(const rec100& x, const rec100& y)
    {
        return std::pair(key_of(x), x.payload[0]) < std::pair(key_of(y), y.payload[0]);
    }
    static bool same(const rec100& x, const rec100& y) { return std::memcmp(&x, &y, sizeof x) == 0; }
    static rec100 from(std::int32_t v, std::size_t position);
};

template <>
struct element_traits<rec1k> {
    static constexpr std::string_view name = "rec1k";
    static bool finer(const rec1k& x, const rec1k& y)
    {
        return std::pair(x.key, x.payload[0]) < std::pair(y.key, y.payload[0]);
    }
    static bool same(const rec1k& x, const rec1k& y) { return std::memcmp(&x, &y, sizeof x) == 0; }
    static rec1k from(std::int32_t v, std::size_t position);
};

template <>
struct element_traits<url> : string_traits<url> {
    static constexpr std::string_view name = "url";
    static url from(std::int32_t v, std::size_t position);
};

// Calls f(T{}) for the element type named `name`, the one place where a
// type is found by its name; false when no type has it.
template <class F>
bool visit_type(std::string_view name, F&& f)
{
    bool found = false;
    for_each_type([&]<class T>(T) {
        if (found || element_traits<T>::name != name) return;
        found = true;
        f(T{});
    });
    return found;
}
