#include "robustness.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <random>
#include <stdexcept>

#include "bench/engine/json.hpp"

namespace {

// What a bad comparison keeps between calls: it lives in the child.
struct judge {
    bad_comparison kind;
    std::uint64_t calls = 0;
    std::uint64_t turn;  // the call from which reversed_later and throws change
    std::mt19937 rng{12345};

    static bool less(void* state, const std::int32_t& x, const std::int32_t& y)
    {
        judge& j = *static_cast<judge*>(state);
        const bool later = j.calls++ >= j.turn;
        switch (j.kind) {
        case bad_comparison::random:
            return (j.rng() & 1) != 0;
        case bad_comparison::less_equal:
            return !(y < x);
        case bad_comparison::reversed_later:
            return later ? y < x : x < y;
        case bad_comparison::throws:
            if (later) throw std::runtime_error("the comparison threw");
            return x < y;
        }
        return x < y;
    }
};

// Child exit codes for the outcomes a child can see itself.
constexpr int code_kept = 0, code_lost = 10, code_threw_kept = 20, code_threw_lost = 21, code_before = 30,
              code_past = 31, code_far = 32;

// The arrays of the child, in which a fault is told apart by the guard it
// hit: the sorted array, and the counted copy that most counting forms sort.
// A signal handler has no state of its own to read.
struct watched_range {
    std::uintptr_t begin, end;
};
watched_range* watched_ranges(std::size_t& count)
{
    static watched_range ranges[2];
    count = 2;
    return ranges;
}

void watch(int slot, const void* begin, std::size_t bytes)
{
    std::size_t count = 0;
    const auto b = reinterpret_cast<std::uintptr_t>(begin);
    watched_ranges(count)[slot] = {b, b + bytes};
}

void on_fault(int, siginfo_t* info, void*)
{
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    std::size_t count = 0;
    const watched_range* ranges = watched_ranges(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (ranges[i].begin == 0) continue;
        if (at < ranges[i].begin && at + page >= ranges[i].begin) _exit(code_before);
        if (at >= ranges[i].end && at < ranges[i].end + page) _exit(code_past);
    }
    _exit(code_far);
}

// Memory of `bytes` between two pages that may not be touched: it ends at
// the right guard, and where it fills whole pages it starts at the left one.
class guarded_array {
public:
    explicit guarded_array(std::size_t bytes) : page_(static_cast<std::size_t>(sysconf(_SC_PAGESIZE)))
    {
        const std::size_t pages = (bytes + page_ - 1) / page_;
        size_ = (pages + 2) * page_;
        base_ = static_cast<char*>(mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (base_ == MAP_FAILED) throw std::runtime_error("no memory for a guarded array");
        mprotect(base_, page_, PROT_NONE);
        mprotect(base_ + (pages + 1) * page_, page_, PROT_NONE);
        data_ = reinterpret_cast<std::int32_t*>(base_ + (pages + 1) * page_ - bytes);
    }

    // Guarded memory for the counted copy the counting forms sort, in the
    // child that sorts it; it lasts until the child ends.
    static void* place(void*, std::size_t bytes)
    {
        void* copy = (new guarded_array(bytes))->data();
        watch(1, copy, bytes);
        return copy;
    }
    ~guarded_array() { munmap(base_, size_); }
    guarded_array(const guarded_array&) = delete;
    guarded_array& operator=(const guarded_array&) = delete;

    std::int32_t* data() const { return data_; }

private:
    std::size_t page_;
    std::size_t size_ = 0;
    char* base_ = nullptr;
    std::int32_t* data_ = nullptr;
};

bool same_elements(std::span<const std::int32_t> got, std::span<const std::int32_t> input)
{
    std::vector<std::int32_t> a(got.begin(), got.end()), b(input.begin(), input.end());
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

}  // namespace

const char* name_of(bad_comparison c)
{
    switch (c) {
    case bad_comparison::random: return "random";
    case bad_comparison::less_equal: return "<=";
    case bad_comparison::reversed_later: return "reversed after n";
    case bad_comparison::throws: return "throws after n";
    }
    return "?";
}

const char* name_of(outcome o)
{
    switch (o) {
    case outcome::kept: return "kept";
    case outcome::lost: return "LOST ELEMENTS";
    case outcome::before: return "BEFORE THE ARRAY";
    case outcome::past: return "PAST THE ARRAY";
    case outcome::far: return "FAR OUTSIDE THE ARRAY";
    case outcome::unfinished: return "DID NOT FINISH";
    case outcome::threw_kept: return "threw, kept";
    case outcome::threw_lost: return "THREW, LOST ELEMENTS";
    case outcome::crashed: return "CRASHED";
    }
    return "?";
}

const char* key_of(outcome o)
{
    switch (o) {
    case outcome::kept: return "kept";
    case outcome::threw_kept: return "threw_kept";
    case outcome::unfinished: return "unfinished";
    case outcome::lost: return "lost";
    case outcome::threw_lost: return "threw_lost";
    case outcome::before: return "before";
    case outcome::past: return "past";
    case outcome::far: return "far";
    case outcome::crashed: return "crashed";
    }
    return "?";
}

outcome run_guarded(const count_ref<std::int32_t>& count, bad_comparison c, std::span<const std::int32_t> input,
                    unsigned seconds)
{
    const auto n = static_cast<std::uint32_t>(input.size());
    guarded_array array(n * sizeof(std::int32_t));
    std::copy(input.begin(), input.end(), array.data());
    std::fflush(nullptr);  // nothing buffered twice
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("cannot start a child process");
    if (pid == 0) {
        // A sort that corrupts the C library's heap makes it say so on
        // standard error; the outcome says it in one word.
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) dup2(quiet, STDERR_FILENO);
        // The handler runs on a stack of its own, so that a sort that
        // overflows its stack is caught too.
        static char handler_stack[1 << 16];
        const stack_t alternate{handler_stack, 0, sizeof handler_stack};
        sigaltstack(&alternate, nullptr);
        struct sigaction fault {};
        fault.sa_sigaction = on_fault;
        fault.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigaction(SIGSEGV, &fault, nullptr);
        sigaction(SIGBUS, &fault, nullptr);
        watch(0, array.data(), n * sizeof(std::int32_t));
        alarm(seconds);
        judge j{c, 0, n};
        sorts::under_test<std::int32_t> = {judge::less, &j};
        sorts::counted_copy_storage = {guarded_array::place, nullptr};
        int code;
        try {
            count(array.data(), n);
            code = same_elements({array.data(), n}, input) ? code_kept : code_lost;
        } catch (...) {
            // What the sort left where it was sorting: the counted copy where
            // the counting form made one, else the array itself.
            std::size_t slots = 0;
            const watched_range copy = watched_ranges(slots)[1];
            std::vector<std::int32_t> left(array.data(), array.data() + n);
            if (copy.begin != 0) {
                const auto* counted = reinterpret_cast<const sorts::counted<std::int32_t>*>(copy.begin);
                for (std::uint32_t i = 0; i < n; ++i) left[i] = counted[i].value();
            }
            code = same_elements(left, input) ? code_threw_kept : code_threw_lost;
        }
        _exit(code);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        return sig == SIGALRM ? outcome::unfinished : outcome::crashed;
    }
    switch (WEXITSTATUS(status)) {
    case code_kept: return outcome::kept;
    case code_lost: return outcome::lost;
    case code_threw_kept: return outcome::threw_kept;
    case code_threw_lost: return outcome::threw_lost;
    case code_before: return outcome::before;
    case code_past: return outcome::past;
    case code_far: return outcome::far;
    default: return outcome::crashed;
    }
}

grid_options robustness_grid(const robustness_options& options)
{
    grid_options grid;
    grid.warm_only = true;
    grid.sequential_only = true;
    grid.patterns = options.patterns;
    grid.sizes = options.sizes;
    return grid;
}

std::vector<robustness_record> robustness(const std::vector<contender>& all, const robustness_options& options)
{
    // Each contender's cases, then every bad comparison over them.
    std::vector<std::pair<const contender*, std::vector<grid_case>>> cases;
    for_each_case<std::int32_t>(all, robustness_grid(options), [&](const grid_case& g) {
        if (!g.c->of<std::int32_t>().count) return;
        if (cases.empty() || cases.back().first != g.c) cases.emplace_back(g.c, std::vector<grid_case>{});
        cases.back().second.push_back(g);
    });
    std::vector<robustness_record> out;
    for (const auto& [c, mine] : cases) {
        const count_ref<std::int32_t>& count = c->of<std::int32_t>().count;
        for (const bad_comparison bad : all_bad_comparisons) {
            if (bad == bad_comparison::throws && (c->traits & compares_through_c) != 0) continue;
            for (const grid_case& g : mine) {
                std::vector<std::int32_t> input(g.n);
                fill_pattern(g.p->p, input, 1);
                out.push_back({c->id, bad, std::string(g.p->name) + "/" + std::to_string(g.n),
                               run_guarded(count, bad, input, options.seconds)});
            }
        }
    }
    return out;
}

grid_options stability_grid()
{
    grid_options grid;
    grid.warm_only = true;
    grid.widest_only = true;
    grid.max_threads = 2;
    grid.sizes = {10, 100, 1000, 10000};
    return grid;
}

std::optional<std::string> first_instability(const contender& c)
{
    std::optional<std::string> found;
    std::vector<kv16> a;
    for_each_case<kv16>({&c}, stability_grid(), [&](const grid_case& g) {
        if (found) return;
        if (c.parallel()) c.use_threads(g.threads);
        a.resize(g.n);
        fill_elements(g.p->p, std::span(a), 1);
        c.of<kv16>().sort(a.data(), g.n);
        for (std::uint32_t i = 1; i < g.n; ++i) {
            if (a[i].key == a[i - 1].key && a[i].value < a[i - 1].value) {
                found = std::string(g.p->name) + "/" + std::to_string(g.n);
                return;
            }
        }
    });
    return found;
}

void write_robustness(std::FILE* out, const std::vector<robustness_record>& records, bool as_json)
{
    if (as_json) {
        auto list = json::array();
        for (const robustness_record& r : records) {
            list.push_back({{"contender", r.contender},
                            {"comparison", name_of(r.comparison)},
                            {"input", r.input},
                            {"outcome", key_of(r.result)}});
        }
        write_json(out, list);
        return;
    }
    // Each contender and comparison: every outcome, with the first input it
    // happened on.
    std::vector<std::pair<std::string, bad_comparison>> order;
    std::map<std::pair<std::string, bad_comparison>, std::map<outcome, std::string>> seen;
    for (const robustness_record& r : records) {
        const std::pair key{r.contender, r.comparison};
        if (std::find(order.begin(), order.end(), key) == order.end()) order.push_back(key);
        seen[key].emplace(r.result, r.input);  // the first input it happened on stays
    }
    std::fprintf(out, "%-17s %-17s %s\n", "contender", "comparison", "what happened (first input)");
    for (const auto& key : order) {
        std::string cell;
        for (const auto& [result, input] : seen[key]) {
            if (result == outcome::kept && seen[key].size() > 1) continue;
            cell += (cell.empty() ? "" : ", ") + std::string(name_of(result));
            if (result != outcome::kept) cell += " (" + input + ")";
        }
        std::fprintf(out, "%-17s %-17s %s\n", key.first.c_str(), name_of(key.second), cell.c_str());
    }
}

namespace {

// McIlroy's adversary over the ids 0 .. n-1 that the array holds.
struct adversary {
    std::vector<std::int32_t> value;  // gas until frozen
    std::int32_t gas;
    std::int32_t solid = 0;  // the next value to freeze to
    std::int32_t candidate = 0;

    explicit adversary(std::uint32_t n) : value(n, static_cast<std::int32_t>(n)), gas(static_cast<std::int32_t>(n)) {}

    static bool less(void* state, const std::int32_t& x, const std::int32_t& y)
    {
        adversary& a = *static_cast<adversary*>(state);
        const auto ix = static_cast<std::size_t>(x), iy = static_cast<std::size_t>(y);
        if (a.value[ix] == a.gas && a.value[iy] == a.gas) {
            a.value[x == a.candidate ? ix : iy] = a.solid++;
        }
        if (a.value[ix] == a.gas) {
            a.candidate = x;
        } else if (a.value[iy] == a.gas) {
            a.candidate = y;
        }
        return a.value[ix] < a.value[iy];
    }
};

}  // namespace

std::uint64_t adversary_comparisons(const count_ref<std::int32_t>& count, std::uint32_t n)
{
    adversary a(n);
    std::vector<std::int32_t> ids(n);
    for (std::uint32_t i = 0; i < n; ++i) ids[i] = static_cast<std::int32_t>(i);
    const auto before = sorts::under_test<std::int32_t>;
    sorts::under_test<std::int32_t> = {adversary::less, &a};
    const sorts::op_counts counts = count(ids.data(), n);
    sorts::under_test<std::int32_t> = before;
    return counts.comparisons;
}
