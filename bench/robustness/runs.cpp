// A fault case run in a child process of its own, and what its end says.
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "bench/robustness/child.hpp"

namespace {

// One child's run of a case, its arrays ending at the right guard, or
// starting at the left one with `from_start`.
fault_result run_child(const fault_target& target, const fault_case& c, std::span<const std::int64_t> input,
                       unsigned seconds, bool from_start)
{
    auto* shared = static_cast<shared_state*>(
        mmap(nullptr, sizeof(shared_state), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (shared == MAP_FAILED) throw std::runtime_error("no memory to share with a child process");
    *shared = {};
    std::fflush(nullptr);  // nothing buffered twice
    const pid_t pid = fork();
    if (pid < 0) {
        munmap(shared, sizeof(shared_state));
        throw std::runtime_error("cannot start a child process");
    }
    if (pid == 0) {
        run_in_child(target, c, input, seconds, from_start, *shared);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    fault_result r;
    r.comparisons = shared->calls;
    const std::uint64_t n = c.n;
    if (WIFSIGNALED(status)) {
        r.what = WTERMSIG(status) == SIGALRM ? outcome::no_progress : outcome::crashed;
    } else {
        switch (WEXITSTATUS(status)) {
        case code_done:
            if (shared->done) {
                r.what = shared->what;
                r.threw = shared->threw;
                r.moved_from = shared->moved_from;
                r.stale = shared->stale;
                r.allocations = shared->allocations;
            } else {
                r.what = outcome::crashed;
            }
            break;
        case code_budget: r.what = r.comparisons > 2 * n * n ? outcome::no_progress : outcome::quadratic; break;
        case code_before: r.what = outcome::before; break;
        case code_past: r.what = outcome::past; break;
        case code_far: r.what = outcome::far; break;
        default: r.what = outcome::crashed; break;
        }
    }
    munmap(shared, sizeof(shared_state));
    return r;
}

}  // namespace

fault_result run_fault(const fault_target& target, const fault_case& c, unsigned seconds)
{
    if (!has_form(target, c.form)) throw std::invalid_argument("the contender has no such form");
    const std::vector<std::int64_t> input = fault_input(c.p->p, c.n);
    const fault_result at_end = run_child(target, c, input, seconds, false);
    const std::size_t bytes = c.n * (c.form == element_form::int64    ? sizeof(std::int64_t)
                                     : c.form == element_form::string ? sizeof(text)
                                                                      : sizeof(std::int32_t));
    if (bytes % static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) == 0) return at_end;
    const fault_result from_start = run_child(target, c, input, seconds, true);
    return from_start.what > at_end.what ? from_start : at_end;
}

