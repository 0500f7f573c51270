// One batch of the companion suite: arrays made before the clock, copied into
// place warm or cold, sorted between two reads of a tick source, checked
// against a reference after the second read. The tick source and the sort are
// arguments, so that tests can script the clock and hand in a routine that
// records what it is given.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "inputs/patterns.hpp"
#include "platform/ticks.hpp"
#include "sorts/forms.hpp"

// A batch holds about this many bytes, so that small arrays are sorted many to
// a clock read and a warm batch stays in the L2 cache.
inline constexpr std::size_t batch_bytes = std::size_t{256} << 10;

// The pre-made arrays of one pattern and size, and their sorted forms.
template <class T>
struct prepared {
    std::uint32_t n = 0;
    std::size_t copies = 0;  // arrays per batch
    std::vector<T> input;
    std::vector<T> expected;
    // Where the batches are sorted: the same memory for every repetition, so
    // that an array's address, and with it its alignment against the cache
    // and the pages, does not change between the repetitions of a benchmark.
    std::vector<T> work;
};

// A batch of `copies` arrays of n elements, or as many as fill batch_bytes
// when it is 0; fill(out, k) makes array k. The expected arrays are sorted
// by the type's finer order (see inputs/elements.hpp).
template <class T, class Fill>
std::unique_ptr<prepared<T>> prepare_with(std::uint32_t n, std::size_t copies, Fill fill)
{
    auto in = std::make_unique<prepared<T>>();
    in->n = n;
    in->copies = copies != 0 ? copies : std::max<std::size_t>(1, batch_bytes / sizeof(T) / std::max<std::uint32_t>(n, 1));
    in->input.resize(in->copies * n);
    for (std::size_t k = 0; k < in->copies; ++k) {
        fill(std::span(in->input).subspan(k * n, n), k);
    }
    in->expected = in->input;
    for (std::size_t k = 0; k < in->copies; ++k) {
        std::sort(in->expected.begin() + k * n, in->expected.begin() + (k + 1) * n, element_traits<T>::finer);
    }
    in->work = in->input;
    return in;
}

// Array k of the batch is the pattern made with seed k + 1.
template <class T>
std::unique_ptr<prepared<T>> prepare(pattern p, std::uint32_t n, std::size_t copies = 0)
{
    return prepare_with<T>(n, copies, [p](std::span<T> out, std::size_t k) {
        fill_elements(p, out, static_cast<std::uint32_t>(k + 1));
    });
}

// Copies `from` into `to` with non-temporal stores, which write around the
// caches (and invalidate a line that was cached), so that each array then
// comes from memory, as the arrays of sortbench's 40 MB buffer do on a
// machine whose last-level cache is smaller than that. This costs no more
// than a plain copy; flushing the copied batch line by line afterwards cost
// as much as sorting it.
void copy_cold(std::span<const std::byte> from, std::span<std::byte> to);

// Minor page faults of this process so far.
long minor_faults();

struct batch_timing {
    std::uint64_t ticks = 0;  // between the two reads, for all arrays of the batch
    long faults = 0;          // minor page faults between the two reads
};

// Sorts every array of the batch with `sort` between two reads of `clock`.
// Nothing else lies between the two reads.
template <class T, class Sort>
batch_timing timed_calls(prepared<T>& in, Sort sort, const tick_source& clock)
{
    const long faults_before = minor_faults();
    const std::uint64_t t0 = clock.counter();
    for (std::size_t k = 0; k < in.copies; ++k) {
        sort(in.work.data() + k * in.n, in.n);
    }
    const std::uint64_t t1 = clock.counter();
    return {t1 - t0, minor_faults() - faults_before};
}

// Copies the inputs into the work area, then times sorting them. A plain
// function is called as it is, so that the timed loop of a sort that needs no
// state is the same as if no sort had any.
template <class T>
batch_timing time_batch(prepared<T>& in, sort_ref<T> sort, bool cold, const tick_source& clock)
{
    if (cold) {
        copy_cold(std::as_bytes(std::span(in.input)), std::as_writable_bytes(std::span(in.work)));
    } else {
        std::copy(in.input.begin(), in.input.end(), in.work.begin());
    }
    if (sort.plain() != nullptr) {
        return timed_calls(in, sort.plain(), clock);
    }
    return timed_calls(in, [f = sort.bound(), state = sort.state()](T* a, std::uint32_t n) { f(state, a, n); },
                       clock);
}

// True when every array of the last batch is ordered by operator< and holds
// exactly the elements of its input. Most results are identical to the
// reference; only where equal elements may come in another order (the
// payloads of equal keys, the two zeros) is an array sorted again to check.
template <class T>
bool batch_sorted(const prepared<T>& in)
{
    const auto same = element_traits<T>::same;
    if (std::equal(in.work.begin(), in.work.end(), in.expected.begin(), same)) {
        return true;
    }
    std::vector<T> resorted(in.n);
    for (std::size_t k = 0; k < in.copies; ++k) {
        const auto first = in.work.begin() + static_cast<std::ptrdiff_t>(k * in.n);
        const auto last = first + in.n;
        const auto want = in.expected.begin() + static_cast<std::ptrdiff_t>(k * in.n);
        if (std::equal(first, last, want, same)) continue;
        if (!std::is_sorted(first, last)) return false;
        std::copy(first, last, resorted.begin());
        std::sort(resorted.begin(), resorted.end(), element_traits<T>::finer);
        if (!std::equal(resorted.begin(), resorted.end(), want, same)) return false;
    }
    return true;
}
