#include "child.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "platform/call_costs.hpp"

namespace {


std::int64_t key_of_code(std::int64_t v)
{
    return v >> key_shift;
}
std::uint32_t id_of_code(std::int64_t v)
{
    return static_cast<std::uint32_t>((v >> 1) & (largest_n - 1));
}

// The child's guarded memory, in which a fault is told apart by the guard
// it hit: the array, and the copy a counting or plain form sorts. A signal
// handler has no state of its own to read.
struct watched_range {
    std::uintptr_t begin, end;
};
watched_range watched[2];

// Exits as a guard would have faulted, where `at` lies within a page before
// or after the array or the copy: memory a guard does not cover where the
// array does not fill whole pages.
void exit_if_beside(const void* at)
{
    const auto a = reinterpret_cast<std::uintptr_t>(at);
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    for (const watched_range& r : watched) {
        if (r.begin == 0) continue;
        if (a < r.begin && a + page >= r.begin) _exit(code_before);
        if (a >= r.end && a < r.end + page) _exit(code_past);
    }
}

// The string records' bytes, eight an element: a record that points
// elsewhere is not one of the input's.
watched_range string_bytes{0, 0};
constexpr std::int64_t not_an_element = -2;

// An element's code: an integer is its code; a string holds its code's
// eight bytes, high first, which no sort writes to (it moves the records),
// so that they still say which element a record is.
std::int64_t code_of(std::int64_t v)
{
    return v;
}
std::int64_t code_of(const text& s)
{
    const auto at = reinterpret_cast<std::uintptr_t>(s.bytes);
    if (s.length != 8 || at < string_bytes.begin || at + 8 > string_bytes.end) return not_an_element;
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8; ++i) v = v << 8 | static_cast<unsigned char>(s.bytes[i]);
    return static_cast<std::int64_t>(v);
}

// The element of a code; a string's bytes go to `bytes`, eight an element.
template <class T>
T element_of(std::int64_t code, std::size_t i, std::vector<char>& bytes)
{
    if constexpr (std::is_same_v<T, text>) {
        for (std::size_t k = 0; k < 8; ++k) bytes[i * 8 + k] = static_cast<char>(static_cast<std::uint64_t>(code) >> (56 - 8 * k));
        return text{bytes.data() + i * 8, 8};
    } else {
        return static_cast<T>(code);
    }
}


// The comparison of a run; it lives in the child.
template <class T>
struct judge {
    fault kind;
    std::uint64_t point;
    std::uint64_t budget;
    std::uint32_t odd_one;  // the incomparable element's position
    shared_state* shared;
    std::vector<char>* observed;
    std::mt19937_64 rng{12345};

    static bool less(void* state, const T& x, const T& y)
    {
        judge& j = *static_cast<judge*>(state);
        const std::uint64_t call = j.shared->calls++;
        if (call >= j.budget) _exit(code_budget);
        exit_if_beside(&x);
        exit_if_beside(&y);
        const bool bad = call >= j.point;
        const std::int64_t cx = code_of(x), cy = code_of(y);
        const std::int64_t kx = key_of_code(cx), ky = key_of_code(cy);
        const bool truth = kx < ky;
        if (j.kind == fault::observed) {
            j.see(x);
            j.see(y);
        }
        // The allocation faults act on the comparison from its first call.
        if (!bad) return truth;
        switch (j.kind) {
        case fault::throws:
        case fault::observed: throw std::runtime_error("the comparison threw");
        case fault::cyclic:
        case fault::allocation_cyclic: return ((ky - kx) % 3 + 3) % 3 == 1;
        case fault::always_less: return true;
        case fault::never_less: return false;
        case fault::random: return (j.rng() & 1) != 0;
        case fault::less_equal: return !(ky < kx);
        case fault::reversed_1pct: return j.rng() % 100 == 0 ? !truth : truth;
        case fault::reversed_33pct: return j.rng() % 3 == 0 ? !truth : truth;
        case fault::streaks: return ((call - j.point) / 32) % 2 == 0 ? true : truth;
        case fault::incomparable:
            return (cx >= 0 && id_of_code(cx) == j.odd_one) || (cy >= 0 && id_of_code(cy) == j.odd_one) ? false : truth;
        case fault::reversed: return ky < kx;
        default: return truth;
        }
    }

    // Sets the element's mutable field: it is an element the sort handed
    // over, in the array, in a copy the sort holds, or in a counted element's
    // mutable value.
    void see(const T& x)
    {
        if constexpr (std::is_integral_v<T>) {
            if (x < 0) return;
            const_cast<T&>(x) |= 1;
            (*observed)[id_of_code(x)] = 1;
        }
    }
};


void on_fault(int, siginfo_t* info, void*)
{
    exit_if_beside(info->si_addr);
    _exit(code_far);
}

// Memory of `bytes` between two pages that may not be touched: it ends at
// the right guard, and where it fills whole pages it starts at the left one.
// It takes nothing from the heap, which a run may make fail, and it is not
// given back: the child that maps it ends.
// Where the memory does not fill whole pages, it starts at the left guard
// instead when `at_start` is set: a run of such a size is made both ways.
bool at_start = false;

void* map_guarded(std::size_t bytes)
{
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t pages = (bytes + page - 1) / page;
    auto* base = static_cast<char*>(
        mmap(nullptr, (pages + 2) * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (base == MAP_FAILED) throw std::runtime_error("no memory for a guarded array");
    mprotect(base, page, PROT_NONE);
    mprotect(base + (pages + 1) * page, page, PROT_NONE);
    return at_start ? base + page : base + (pages + 1) * page - bytes;
}

void* place_copy(void*, std::size_t bytes)
{
    void* copy = map_guarded(bytes);
    const auto b = reinterpret_cast<std::uintptr_t>(copy);
    watched[1] = {b, b + bytes};
    return copy;
}

// What the memory the sort worked on holds, judged against the input.
template <class T>
void judge_elements(std::span<const T> got, std::span<const std::int64_t> input, const std::vector<char>& observed,
                    bool sound, shared_state& s)
{
    const auto n = static_cast<std::uint32_t>(input.size());
    std::vector<std::uint32_t> seen(n, 0);
    bool garbage = false, stale = false, sorted = true;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::int64_t v = code_of(got[i]);
        if (v == moved_from_code) {
            s.moved_from = true;
            continue;
        }
        const std::uint32_t id = id_of_code(v);
        if (v < 0 || id >= n || key_of_code(v) != key_of_code(input[id])) {
            garbage = true;
            continue;
        }
        ++seen[id];
        if (observed[id] && (v & 1) == 0) stale = true;
        if (i > 0 && key_of_code(v) < key_of_code(code_of(got[i - 1]))) sorted = false;
    }
    const bool lost = garbage || std::count(seen.begin(), seen.end(), 0u) > 0;
    const bool duplicated = std::any_of(seen.begin(), seen.end(), [](std::uint32_t k) { return k > 1; });
    s.stale = stale;
    s.what = lost && duplicated ? outcome::lost_and_duplicated
             : lost             ? outcome::lost
             : duplicated       ? outcome::duplicated
             : stale            ? outcome::stale
             : sound && !s.threw && !sorted ? outcome::unsorted
                                            : outcome::kept;
}

// The child's run: sorts, then judges, and writes what it saw to `s`.
template <class T, class Call>
void child_run(const fault_case& c, std::span<const std::int64_t> input, shared_state& s, Call sort)
{
    const std::uint32_t n = c.n;
    auto* array = static_cast<T*>(map_guarded(n * sizeof(T)));
    std::vector<char> bytes(std::is_same_v<T, text> ? n * std::size_t{8} : 0);
    const auto first_byte = reinterpret_cast<std::uintptr_t>(bytes.data());
    string_bytes = {first_byte, first_byte + bytes.size()};
    for (std::uint32_t i = 0; i < n; ++i) array[i] = element_of<T>(input[i], i, bytes);
    const auto b = reinterpret_cast<std::uintptr_t>(array);
    watched[0] = {b, b + n * sizeof(T)};

    std::vector<char> observed(n, 0);
    const bool fails_allocations = c.kind == fault::allocation || c.kind == fault::allocation_cyclic;
    judge<T> j{c.kind, fails_allocations ? 0 : c.point, comparison_budget(n), n / 2, &s, &observed};
    sorts::under_test<T> = {judge<T>::less, &j};
    sorts::counted_copy_storage = {place_copy, nullptr};
    static const std::int32_t moved_from_mark = static_cast<std::int32_t>(moved_from_code);
    if (c.form == element_form::counted) sorts::moved_from_mark<std::int32_t> = &moved_from_mark;

    const std::uint64_t allocations_before = allocations_so_far().calls;
    if (fails_allocations) fail_allocations_from(c.point);
    try {
        sort(array, n);
    } catch (...) {
        s.threw = true;
    }
    fail_allocations_from(no_failure);
    s.allocations = allocations_so_far().calls - allocations_before;

    // The memory the sort worked on: the copy where the form made one (it
    // holds what the sort left, thrown or not), else the array itself.
    const bool sound = c.kind == fault::clean || c.kind == fault::allocation;
    if (watched[1].begin != 0) {
        const auto* copy = reinterpret_cast<const T*>(watched[1].begin);
        judge_elements<T>({copy, n}, input, observed, sound, s);
    } else {
        judge_elements<T>({array, n}, input, observed, sound, s);
    }
    s.done = true;
}

}  // namespace

void run_in_child(const fault_target& target, const fault_case& c, std::span<const std::int64_t> input,
                  unsigned seconds, bool from_start, shared_state& s)
{
    // A sort that corrupts the C library's heap makes it say so on
    // standard error; the outcome says it in one word.
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) dup2(quiet, STDERR_FILENO);
    // The handler runs on a stack of its own, so that a sort that
    // overflows its stack is caught too.
    static char handler_stack[1 << 16];
    const stack_t alternate{handler_stack, 0, sizeof handler_stack};
    sigaltstack(&alternate, nullptr);
    struct sigaction on_segv {};
    on_segv.sa_sigaction = on_fault;
    on_segv.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigaction(SIGSEGV, &on_segv, nullptr);
    sigaction(SIGBUS, &on_segv, nullptr);
    alarm(seconds);
    at_start = from_start;
    switch (c.form) {
    case element_form::counted:
        child_run<std::int32_t>(c, input, s, [&](std::int32_t* a, std::uint32_t n) { target.counted(a, n); });
        break;
    case element_form::int32: child_run<std::int32_t>(c, input, s, target.int32); break;
    case element_form::int64: child_run<std::int64_t>(c, input, s, target.int64); break;
    case element_form::string: child_run<text>(c, input, s, target.string); break;
    }
    _exit(code_done);
}
