#include "call_costs.hpp"

#include <linux/perf_event.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

std::uint64_t clock_ns(clockid_t id)
{
    timespec ts{};
    clock_gettime(id, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(ts.tv_nsec);
}

std::atomic<std::uint64_t> allocation_calls{0};
std::atomic<std::uint64_t> allocation_bytes{0};
// The allocation from which every allocation fails, counted in calls.
std::atomic<std::uint64_t> failing_from{no_failure};

}  // namespace

std::uint64_t thread_cpu_ns()
{
    return clock_ns(CLOCK_THREAD_CPUTIME_ID);
}

std::uint64_t process_cpu_ns()
{
    return clock_ns(CLOCK_PROCESS_CPUTIME_ID);
}

long thread_context_switches()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

void fail_allocations_from(std::uint64_t k)
{
    failing_from.store(k == no_failure ? no_failure : allocation_calls.load(std::memory_order_relaxed) + k,
                       std::memory_order_relaxed);
}

allocation_tally allocations_so_far()
{
    return {allocation_calls.load(std::memory_order_relaxed), allocation_bytes.load(std::memory_order_relaxed)};
}

#if defined(__SANITIZE_ADDRESS__)
#define SORTBENCH_OWN_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define SORTBENCH_OWN_MALLOC 0
#endif
#endif
#ifndef SORTBENCH_OWN_MALLOC
#define SORTBENCH_OWN_MALLOC 1
#endif

bool allocations_counted()
{
    return SORTBENCH_OWN_MALLOC != 0;
}

#if SORTBENCH_OWN_MALLOC
// glibc exports its allocator under these names too, so that a program can
// wrap the public ones; memory from either is freed by either.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void* __libc_valloc(std::size_t);
void* __libc_pvalloc(std::size_t);
void __libc_free(void*);
}

namespace {
// Counts an allocation; false when it is to fail.
bool note(std::size_t bytes)
{
    const std::uint64_t call = allocation_calls.fetch_add(1, std::memory_order_relaxed);
    if (call >= failing_from.load(std::memory_order_relaxed)) {
        errno = ENOMEM;
        return false;
    }
    allocation_bytes.fetch_add(bytes, std::memory_order_relaxed);
    return true;
}
}  // namespace

extern "C" {
void* malloc(std::size_t n)
{
    return note(n) ? __libc_malloc(n) : nullptr;
}
void free(void* p)
{
    __libc_free(p);
}
void* calloc(std::size_t count, std::size_t size)
{
    std::size_t bytes = 0;
    return note(__builtin_mul_overflow(count, size, &bytes) ? SIZE_MAX : bytes) ? __libc_calloc(count, size) : nullptr;
}
// A realloc counts as an allocation of its new size (a free when it is 0).
void* realloc(void* p, std::size_t n)
{
    if ((n != 0 || p == nullptr) && !note(n)) return nullptr;
    return __libc_realloc(p, n);
}
void* memalign(std::size_t alignment, std::size_t n)
{
    return note(n) ? __libc_memalign(alignment, n) : nullptr;
}
void* aligned_alloc(std::size_t alignment, std::size_t n)
{
    return note(n) ? __libc_memalign(alignment, n) : nullptr;
}
int posix_memalign(void** out, std::size_t alignment, std::size_t n)
{
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    if (!note(n)) return ENOMEM;
    void* p = __libc_memalign(alignment, n);
    if (p == nullptr && n != 0) return ENOMEM;
    *out = p;
    return 0;
}
void* valloc(std::size_t n)
{
    return note(n) ? __libc_valloc(n) : nullptr;
}
void* pvalloc(std::size_t n)
{
    return note(n) ? __libc_pvalloc(n) : nullptr;
}
}
#endif

syscall_counter::syscall_counter()
{
    int id = -1;
    for (const char* path : {"/sys/kernel/tracing/events/raw_syscalls/sys_enter/id",
                             "/sys/kernel/debug/tracing/events/raw_syscalls/sys_enter/id"}) {
        if (std::FILE* f = std::fopen(path, "r")) {
            if (std::fscanf(f, "%d", &id) != 1) id = -1;
            std::fclose(f);
            if (id >= 0) break;
        }
    }
    if (id < 0) {
        why_not_ = "no raw_syscalls:sys_enter tracepoint (tracefs not mounted at /sys/kernel/tracing?)";
        return;
    }
    perf_event_attr attr{};
    attr.type = PERF_TYPE_TRACEPOINT;
    attr.size = sizeof attr;
    attr.config = static_cast<std::uint64_t>(id);
    attr.sample_period = 0;
    const long fd = syscall(SYS_perf_event_open, &attr, 0, -1, -1, PERF_FLAG_FD_CLOEXEC);
    if (fd < 0) {
        why_not_ = std::string("perf_event_open(raw_syscalls:sys_enter): ") + std::strerror(errno);
        return;
    }
    fd_ = static_cast<int>(fd);
}

syscall_counter::~syscall_counter()
{
    if (fd_ >= 0) close(fd_);
}

std::uint64_t syscall_counter::read() const
{
    std::uint64_t count = 0;
    if (fd_ < 0 || ::read(fd_, &count, sizeof count) != static_cast<ssize_t>(sizeof count)) return 0;
    return count;
}

const syscall_counter& thread_syscalls()
{
    thread_local const syscall_counter counter;
    return counter;
}
