// What a call costs beside its wall time: the CPU time it ran, the context
// switches, system calls and heap allocations it made. Each is a running
// total, read before and after a timed window.
#pragma once

#include <cstdint>
#include <string>

// CPU time of the calling thread, and of the whole process (every thread of
// a parallel sort), in nanoseconds.
std::uint64_t thread_cpu_ns();
std::uint64_t process_cpu_ns();

// Voluntary and involuntary context switches of the calling thread.
long thread_context_switches();

// Heap allocations of the whole process (malloc, calloc, realloc, the
// aligned forms, and so operator new), counted by wrappers around the C
// library's allocator that this unit puts in the executable.
struct allocation_tally {
    std::uint64_t calls = 0;
    std::uint64_t bytes = 0;
};
allocation_tally allocations_so_far();
// False where another layer owns malloc (AddressSanitizer), which leaves the
// wrappers out: allocations are then unknown, not zero.
bool allocations_counted();

// Makes every heap allocation fail from the k-th one after this call on
// (0: the next), as when memory runs out: malloc returns null with ENOMEM,
// and so operator new throws std::bad_alloc. no_failure ends it. Only where
// allocations_counted(); elsewhere nothing fails.
inline constexpr std::uint64_t no_failure = UINT64_MAX;
void fail_allocations_from(std::uint64_t k);

// System calls entered by the calling thread, counted by the kernel's
// raw_syscalls:sys_enter tracepoint through perf_event_open. Opening it
// needs tracefs mounted and the right to trace (root, or a low
// perf_event_paranoid); where it cannot be opened, available() is false and
// why_not() says what failed.
class syscall_counter {
public:
    syscall_counter();
    ~syscall_counter();
    syscall_counter(const syscall_counter&) = delete;
    syscall_counter& operator=(const syscall_counter&) = delete;

    bool available() const { return fd_ >= 0; }
    const std::string& why_not() const { return why_not_; }
    // The total so far; 0 when not available.
    std::uint64_t read() const;

private:
    int fd_ = -1;
    std::string why_not_;
};

// The calling thread's counter, opened on first use.
const syscall_counter& thread_syscalls();
