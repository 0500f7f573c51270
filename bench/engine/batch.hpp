// One batch of the companion suite: arrays made before the clock, copied into
// place warm or cold, sorted between two reads of a tick source, checked
// against a reference after the second read. The tick source and the sort are
// arguments, so that tests can script the clock and hand in a routine that
// records what it is given.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
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

// What a call costs beside its time: one entry per counter, read as a
// running total on each side of every timed window. The suite's results, the
// rounds' files and the tools take their counters from this table; a new
// counter is one more entry.
struct call_counter {
    std::string_view key;    // per call, as results name it
    std::string_view label;  // as a reader sees it
    std::uint64_t (*total)();  // the running total so far
    // Why this machine cannot count it (a reader then shows n/a, never 0);
    // empty where it can.
    std::string (*missing)();
    // Reading the totals adds to it (a system call per read): the meter's own
    // share is counted once per thread on an empty window and taken off.
    bool counts_the_meter = false;
};

inline constexpr std::size_t counter_count = 5;
extern const std::array<call_counter, counter_count> call_counters;

// The index of the counter named `key` in call_counters; counter_count when
// there is none.
std::size_t counter_index(std::string_view key);

// Running totals read on each side of a timed window, beside the clock.
struct cost_totals {
    std::uint64_t cpu_ns = 0;
    std::array<std::uint64_t, counter_count> counts{};  // as call_counters lists them

    std::uint64_t& operator[](std::string_view key) { return counts.at(counter_index(key)); }
};

cost_totals operator-(const cost_totals& after, const cost_totals& before);

// Reads the totals before and after a window: `before` reads the CPU clock
// last and `after` first, so that the CPU window holds no more than the wall
// window does. Tests script their own.
struct cost_meter {
    cost_totals (*before)();
    cost_totals (*after)();
};

// The live totals; the CPU time of the calling thread, or of the process
// for a sort that runs on several threads.
extern const cost_meter thread_costs;
extern const cost_meter process_costs;

struct batch_timing {
    std::uint64_t ticks = 0;       // sorting every array of the batch, between two reads of the clock
    std::uint64_t copy_ticks = 0;  // copying the inputs into place
    std::uint64_t read_ticks = 0;  // one read-only pass over them
    cost_totals costs;             // of the sort's window
};

// The figures of one call, from the sum of any number of batches: what the
// suite reports for a benchmark and the rounds for a member in a round.
struct call_figures {
    double wall_ns = 0;
    double cpu_ns = 0;
    double off_cpu = 0;  // share of the wall time that no thread of the sort ran
    double copy_ns = 0;  // the floor: copying one array into place
    double read_ns = 0;  // and reading it once
    double copies = 0;   // wall time over the copy's
    std::array<double, counter_count> per_call{};  // as call_counters lists them

    double operator[](std::string_view key) const { return per_call.at(counter_index(key)); }
};

struct batch_totals {
    std::uint64_t calls = 0;
    std::uint64_t ticks = 0;
    std::uint64_t copy_ticks = 0;
    std::uint64_t read_ticks = 0;
    cost_totals costs;

    void add(const batch_timing& t, std::size_t arrays);
    // Per call; `threads` is what the sort ran on (its CPU time can reach
    // that many times its wall time). Zeros before any call.
    call_figures per_call(std::uint64_t ticks_per_second, unsigned threads = 1) const;
};

// Reads every byte of `bytes` once and returns a sum of them, so that the
// read cannot be left out.
std::uint64_t read_pass(std::span<const std::byte> bytes);

// Sorts every array of the batch with `sort` between two reads of `clock`.
// Nothing else lies between the two reads; the totals are read outside them.
template <class T, class Sort>
batch_timing timed_calls(prepared<T>& in, Sort sort, const tick_source& clock, const cost_meter& meter)
{
    const cost_totals before = meter.before();
    const std::uint64_t t0 = clock.counter();
    for (std::size_t k = 0; k < in.copies; ++k) {
        sort(in.work.data() + k * in.n, in.n);
    }
    const std::uint64_t t1 = clock.counter();
    const cost_totals after = meter.after();
    return {t1 - t0, 0, 0, after - before};
}

// Copies the inputs into the work area and reads them once, each timed as
// the floor of this batch, then times sorting them. A cold batch is copied
// again after the read, which brought it into the cache. A plain function
// is called as it is, so that the timed loop of a sort that needs no state
// is the same as if no sort had any.
template <class T>
batch_timing time_batch(prepared<T>& in, sort_ref<T> sort, bool cold, const tick_source& clock,
                        const cost_meter& meter = thread_costs)
{
    const auto from = std::as_bytes(std::span(in.input));
    const auto to = std::as_writable_bytes(std::span(in.work));
    const auto copy = [&] {
        if (cold) {
            copy_cold(from, to);
        } else {
            std::copy(in.input.begin(), in.input.end(), in.work.begin());
        }
    };
    const std::uint64_t c0 = clock.counter();
    copy();
    const std::uint64_t c1 = clock.counter();
    read_pass(to);
    const std::uint64_t r1 = clock.counter();
    if (cold) copy();
    batch_timing t = sort.plain() != nullptr
                         ? timed_calls(in, sort.plain(), clock, meter)
                         : timed_calls(
                               in, [f = sort.bound(), state = sort.state()](T* a, std::uint32_t n) { f(state, a, n); },
                               clock, meter);
    t.copy_ticks = c1 - c0;
    t.read_ticks = r1 - c1;
    return t;
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

// One measured batch, the same for every program that times sorts: copied
// into place and timed (time_batch), added to `totals`, then checked. False
// when an array did not come out sorted; `last` receives the batch's timing.
template <class T>
bool measure_batch(prepared<T>& in, sort_ref<T> sort, bool cold, const tick_source& clock, const cost_meter& meter,
                   batch_totals& totals, batch_timing* last = nullptr)
{
    const batch_timing t = time_batch(in, sort, cold, clock, meter);
    totals.add(t, in.copies);
    if (last != nullptr) *last = t;
    return batch_sorted(in);
}
