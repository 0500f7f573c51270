// The element types that sorts are run on, listed once: every table of
// per-type forms and every loop over the types is made from this list.
#pragma once

#include <concepts>
#include <cstdint>
#include <string_view>
#include <tuple>

#include "sortbench/contender.h"

// A 64-bit key with a 64-bit payload, ordered by the key alone. Laid out as
// Highway's hwy::K64V64 (payload first, then key, 16-byte aligned), so that
// vqsort can sort it in place; the record of the contender interface, so that
// a contender library sorts the suite's arrays as they are.
using kv16 = sortbench_kv16;

inline bool operator<(const kv16& x, const kv16& y)
{
    return x.key < y.key;
}

inline bool operator==(const kv16& x, const kv16& y)
{
    return x.key == y.key && x.value == y.value;
}

// Strings are records of a pointer and a length into storage that lives as
// long as the process, as a C program sorts an array of char* into its own
// buffers: a std::string owns its bytes and may point into itself, so it
// cannot be moved byte by byte the way the qsort-style routines move
// records, while this is two words that any routine can move soundly. It is
// the record of the contender interface, ordered as std::string_view orders
// the same bytes.
using text = sortbench_string;

// Comparisons that cost: URLs under one long shared prefix, as a crawler's
// or a log's keys are, so that each comparison reads some 80 equal bytes
// before the first that differs. The same record as a string, a type of
// its own so that the suite can tell the two workloads apart.
using url = sortbench_url;

template <class S>
concept string_record = std::same_as<S, text> || std::same_as<S, url>;

template <string_record S>
std::string_view as_view(const S& s)
{
    return {s.bytes, s.length};
}

template <string_record S>
bool operator<(const S& x, const S& y)
{
    return as_view(x) < as_view(y);
}

template <string_record S>
bool operator==(const S& x, const S& y)
{
    return as_view(x) == as_view(y);
}

// Records that cost to move: 100 bytes and 1 KiB, ordered by an 8-byte key
// alone, with payloads that a sort must carry along.
using rec100 = sortbench_rec100;
using rec1k = sortbench_rec1k;

inline std::uint64_t key_of(const rec100& r)
{
    return std::uint64_t{r.key_high} << 32 | r.key_low;
}

inline bool operator<(const rec100& x, const rec100& y)
{
    return key_of(x) < key_of(y);
}

inline bool operator<(const rec1k& x, const rec1k& y)
{
    return x.key < y.key;
}

template <class... Ts>
struct type_list {};

// int32 first: it is what sortbench sorts, and the suite lists it first.
using element_types = type_list<std::int32_t, std::int64_t, double, kv16, text, rec100, rec1k, url>;

template <template <class> class X, class List>
struct per_type_of;

template <template <class> class X, class... Ts>
struct per_type_of<X, type_list<Ts...>> {
    using type = std::tuple<X<Ts>...>;
};

// One X<T> for each element type T.
template <template <class> class X>
using per_type = typename per_type_of<X, element_types>::type;

// Calls f(T{}) for each element type, in order.
template <class F>
constexpr void for_each_type(F&& f)
{
    [&]<class... Ts>(type_list<Ts...>) { (f(Ts{}), ...); }(element_types{});
}
