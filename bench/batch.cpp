#include "batch.hpp"

#include <emmintrin.h>
#include <sys/resource.h>

#include <cstring>

void copy_cold(std::span<const std::byte> from, std::span<std::byte> to)
{
    std::size_t i = 0;
    std::byte* const out = to.data();
    const std::size_t size = from.size();
    while (i < size && reinterpret_cast<std::uintptr_t>(out + i) % 16 != 0) {
        out[i] = from[i];
        ++i;
    }
    const std::size_t head = i;
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from.data() + i));
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + i), v);
    }
    std::memcpy(out + i, from.data() + i, size - i);
    // The few bytes written normally share their lines with streamed ones.
    if (head > 0) _mm_clflush(out);
    if (i < size) _mm_clflush(out + i);
    _mm_mfence();
}

long minor_faults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}
