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

cost_totals operator-(const cost_totals& after, const cost_totals& before)
{
    return {after.cpu_ns - before.cpu_ns,
            after.faults - before.faults,
            after.switches - before.switches,
            after.allocations - before.allocations,
            after.allocated_bytes - before.allocated_bytes,
            after.syscalls - before.syscalls};
}

namespace {

template <std::uint64_t (*cpu_clock)()>
cost_totals raw_costs_before()
{
    cost_totals t;
    t.faults = minor_faults();
    t.switches = thread_context_switches();
    const allocation_tally a = allocations_so_far();
    t.allocations = a.calls;
    t.allocated_bytes = a.bytes;
    t.syscalls = thread_syscalls().read();
    t.cpu_ns = cpu_clock();
    return t;
}

template <std::uint64_t (*cpu_clock)()>
cost_totals raw_costs_after()
{
    cost_totals t;
    t.cpu_ns = cpu_clock();
    t.syscalls = thread_syscalls().read();
    const allocation_tally a = allocations_so_far();
    t.allocations = a.calls;
    t.allocated_bytes = a.bytes;
    t.switches = thread_context_switches();
    t.faults = minor_faults();
    return t;
}

// Between the two reads of the system call counter lie the CPU clock reads
// and the second read itself: system calls of the meter, not of the sort,
// as many on every window. They are counted once per thread on an empty
// window, before the first window opens, and taken off.
template <std::uint64_t (*cpu_clock)()>
std::uint64_t own_syscalls()
{
    thread_local const std::uint64_t own = [] {
        const cost_totals before = raw_costs_before<cpu_clock>();
        return raw_costs_after<cpu_clock>().syscalls - before.syscalls;
    }();
    return own;
}

template <std::uint64_t (*cpu_clock)()>
cost_totals costs_before()
{
    own_syscalls<cpu_clock>();
    return raw_costs_before<cpu_clock>();
}

template <std::uint64_t (*cpu_clock)()>
cost_totals costs_after()
{
    cost_totals t = raw_costs_after<cpu_clock>();
    t.syscalls -= own_syscalls<cpu_clock>();
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
    costs.faults += t.costs.faults;
    costs.switches += t.costs.switches;
    costs.allocations += t.costs.allocations;
    costs.allocated_bytes += t.costs.allocated_bytes;
    costs.syscalls += t.costs.syscalls;
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
    f.switches = per(static_cast<double>(costs.switches), calls);
    f.faults = per(static_cast<double>(costs.faults), calls);
    f.syscalls = per(static_cast<double>(costs.syscalls), calls);
    f.allocations = per(static_cast<double>(costs.allocations), calls);
    f.allocated_bytes = per(static_cast<double>(costs.allocated_bytes), calls);
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
