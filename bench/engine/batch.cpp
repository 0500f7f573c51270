#include "batch.hpp"

#include <emmintrin.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>

#include "platform/call_costs.hpp"

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

namespace {

std::uint64_t faults_so_far()
{
    return static_cast<std::uint64_t>(minor_faults());
}

std::uint64_t switches_so_far()
{
    return static_cast<std::uint64_t>(thread_context_switches());
}

std::uint64_t syscalls_so_far()
{
    return thread_syscalls().read();
}

std::uint64_t allocation_calls_so_far()
{
    return allocations_so_far().calls;
}

std::uint64_t allocated_bytes_so_far()
{
    return allocations_so_far().bytes;
}

std::string always_counted()
{
    return {};
}

std::string syscalls_missing()
{
    const syscall_counter& c = thread_syscalls();
    return c.available() ? std::string() : c.why_not();
}

std::string allocations_missing()
{
    return allocations_counted() ? std::string() : "the allocator belongs to a sanitizer";
}

}  // namespace

// In the order they are read before a window (and the reverse after it):
// the system calls last before the CPU clock, so that only the reads
// calibrated away lie between their two reads and the sort.
const std::array<call_counter, counter_count> call_counters{{
    {"faults_per_call", "page faults", faults_so_far, always_counted},
    {"switches_per_call", "context switches", switches_so_far, always_counted},
    {"allocs_per_call", "allocations", allocation_calls_so_far, allocations_missing},
    {"alloc_bytes_per_call", "bytes allocated", allocated_bytes_so_far, allocations_missing},
    {"syscalls_per_call", "system calls", syscalls_so_far, syscalls_missing, true},
}};

std::size_t counter_index(std::string_view key)
{
    for (std::size_t i = 0; i < counter_count; ++i) {
        if (call_counters[i].key == key) return i;
    }
    return counter_count;
}

cost_totals operator-(const cost_totals& after, const cost_totals& before)
{
    cost_totals out;
    out.cpu_ns = after.cpu_ns - before.cpu_ns;
    for (std::size_t i = 0; i < counter_count; ++i) out.counts[i] = after.counts[i] - before.counts[i];
    return out;
}

namespace {

template <std::uint64_t (*cpu_clock)()>
cost_totals raw_costs_before()
{
    cost_totals t;
    for (std::size_t i = 0; i < counter_count; ++i) t.counts[i] = call_counters[i].total();
    t.cpu_ns = cpu_clock();
    return t;
}

template <std::uint64_t (*cpu_clock)()>
cost_totals raw_costs_after()
{
    cost_totals t;
    t.cpu_ns = cpu_clock();
    for (std::size_t i = counter_count; i-- > 0;) t.counts[i] = call_counters[i].total();
    return t;
}

// Between two reads of a counter that counts the meter lie the CPU clock
// reads and the reads themselves: the meter's, not the sort's, as many on
// every window. They are counted once per thread on an empty window, before
// the first window opens, and taken off.
template <std::uint64_t (*cpu_clock)()>
const cost_totals& own_costs()
{
    thread_local const cost_totals own = [] {
        const cost_totals before = raw_costs_before<cpu_clock>();
        cost_totals d = raw_costs_after<cpu_clock>() - before;
        for (std::size_t i = 0; i < counter_count; ++i) {
            if (!call_counters[i].counts_the_meter) d.counts[i] = 0;
        }
        return d;
    }();
    return own;
}

template <std::uint64_t (*cpu_clock)()>
cost_totals costs_before()
{
    own_costs<cpu_clock>();
    return raw_costs_before<cpu_clock>();
}

template <std::uint64_t (*cpu_clock)()>
cost_totals costs_after()
{
    cost_totals t = raw_costs_after<cpu_clock>();
    const cost_totals& own = own_costs<cpu_clock>();
    for (std::size_t i = 0; i < counter_count; ++i) t.counts[i] -= own.counts[i];
    return t;
}

double per(double total, std::uint64_t count)
{
    return count == 0 ? 0 : total / static_cast<double>(count);
}

}  // namespace

const cost_meter thread_costs{costs_before<thread_cpu_ns>, costs_after<thread_cpu_ns>};
const cost_meter process_costs{costs_before<process_cpu_ns>, costs_after<process_cpu_ns>};

void batch_totals::add(const batch_timing& t, std::size_t arrays)
{
    calls += arrays;
    ticks += t.ticks;
    copy_ticks += t.copy_ticks;
    read_ticks += t.read_ticks;
    costs.cpu_ns += t.costs.cpu_ns;
    for (std::size_t i = 0; i < counter_count; ++i) costs.counts[i] += t.costs.counts[i];
}

call_figures batch_totals::per_call(std::uint64_t ticks_per_second, unsigned threads) const
{
    const double ns_per_tick = 1e9 / static_cast<double>(ticks_per_second);
    call_figures f;
    f.wall_ns = per(static_cast<double>(ticks) * ns_per_tick, calls);
    f.cpu_ns = per(static_cast<double>(costs.cpu_ns), calls);
    f.copy_ns = per(static_cast<double>(copy_ticks) * ns_per_tick, calls);
    f.read_ns = per(static_cast<double>(read_ticks) * ns_per_tick, calls);
    const double on_cpu = f.wall_ns > 0 ? f.cpu_ns / (f.wall_ns * std::max(1u, threads)) : 1;
    f.off_cpu = std::clamp(1 - on_cpu, 0.0, 1.0);
    f.copies = f.copy_ns > 0 ? f.wall_ns / f.copy_ns : 0;
    for (std::size_t i = 0; i < counter_count; ++i) f.per_call[i] = per(static_cast<double>(costs.counts[i]), calls);
    return f;
}

std::uint64_t read_pass(std::span<const std::byte> bytes)
{
    std::uint64_t sum = 0;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        sum += word;
    }
    for (; i < bytes.size(); ++i) sum += static_cast<std::uint64_t>(bytes[i]);
    asm volatile("" : : "r"(sum));
    return sum;
}
