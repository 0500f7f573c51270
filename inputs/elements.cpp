#include "elements.hpp"

#include <cmath>
#include <cstdio>
#include <iterator>
#include <deque>
#include <string>
#include <unordered_map>

namespace {

// The value with its sign bit flipped: the same order, as unsigned.
std::uint64_t biased(std::int32_t v)
{
    return static_cast<std::uint32_t>(v) ^ 0x80000000u;
}

// A fixed scramble of the 32 bits, for the low half of wider values: it
// depends on the value alone, so equal values stay equal.
std::uint32_t scramble(std::int32_t v)
{
    std::uint32_t x = static_cast<std::uint32_t>(v) * 0x9E3779B1u;
    return x ^ (x >> 15);
}

// The string record of v, made by make() the first time and kept for the
// life of the process, so that every array of a run points at one copy.
template <class S, class Make>
S kept(std::int32_t v, Make make)
{
    static std::unordered_map<std::int32_t, S> made;
    static std::deque<std::string> storage;
    if (const auto found = made.find(v); found != made.end()) {
        return found->second;
    }
    const std::string& bytes = storage.emplace_back(make());
    const S record{bytes.data(), bytes.size()};
    made.emplace(v, record);
    return record;
}

}  // namespace

// v in the high half: the order is v's, and the random pattern's values
// cover the whole 64-bit range.
std::int64_t element_traits<std::int64_t>::from(std::int32_t v, std::size_t)
{
    return static_cast<std::int64_t>((biased(v) << 32 | scramble(v)) ^ 0x8000000000000000u);
}

// sign(v) * (2^(|v| / 2101248) - 1): strictly increasing, 0 at 0, magnitudes
// from about 3e-7 (|v| = 1) to about 4e307 (|v| = 2^31, just inside the
// largest double, which a divisor of 2^21 would overflow), negatives for
// negative v. A 0 becomes -0.0 at odd positions and +0.0 at even ones: the
// two are equal in the order, so the pattern keeps its meaning, and sorts
// meet both.
double element_traits<double>::from(std::int32_t v, std::size_t position)
{
    if (v == 0) {
        return position % 2 ? -0.0 : 0.0;
    }
    const double magnitude = std::exp2(std::fabs(static_cast<double>(v)) / 2101248.0) - 1.0;
    return v < 0 ? -magnitude : magnitude;
}

// The key as int64's value, the payload the element's position in its array,
// so that a stable sort can be told from an unstable one.
kv16 element_traits<kv16>::from(std::int32_t v, std::size_t position)
{
    return {position, biased(v) << 32 | scramble(v)};
}

// A length letter, the digits of v with its sign bit flipped (mostly ten)
// and a tail whose length (0 to 16) depends on the value: lengths vary from
// 3 to 28 characters (12 to 28 for values near zero, as every pattern but
// random holds), and the letter and
// digits alone decide the order, which is v's.
text element_traits<text>::from(std::int32_t v, std::size_t)
{
    return kept<text>(v, [v] {
        const std::string digits = std::to_string(biased(v));
        std::string s = static_cast<char>('a' + digits.size()) + digits + "-";
        s.append(scramble(v) % 17, static_cast<char>('a' + scramble(v) % 26));
        return s;
    });
}

rec100 element_traits<rec100>::from(std::int32_t v, std::size_t position)
{
    rec100 r{static_cast<std::uint32_t>(biased(v)), scramble(v), {}};
    const auto p = static_cast<std::uint32_t>(position);
    for (std::uint32_t i = 0; i < std::size(r.payload); ++i) r.payload[i] = p * 2654435761u + i;
    r.payload[0] = p;
    return r;
}

rec1k element_traits<rec1k>::from(std::int32_t v, std::size_t position)
{
    rec1k r{biased(v) << 32 | scramble(v), {}};
    for (std::uint64_t i = 0; i < std::size(r.payload); ++i) r.payload[i] = position * 0x9E3779B97F4A7C15u + i;
    r.payload[0] = position;
    return r;
}

// The shared prefix, then v's digits with its sign bit flipped, ten of them
// (zero-padded: the digits alone decide the order, which is v's), then a
// suffix.
url element_traits<url>::from(std::int32_t v, std::size_t)
{
    return kept<url>(v, [v] {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%010llu", static_cast<unsigned long long>(biased(v)));
        std::string s = "https://archive.example.org/sensors/eu-west-1/2026/12/07/station-0421/readings/";
        return s.append(digits).append(".json");
    });
}
