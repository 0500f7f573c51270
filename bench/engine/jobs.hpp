// Independent jobs spread over a few threads, as the certificate's sweeps
// and the growth counts run.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Runs job(0) .. job(count - 1), each once, on `threads` threads (this one
// among them). No job starts after one has thrown; the first exception is
// rethrown once every thread has stopped.
inline void run_jobs(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& job)
{
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failed;
    std::mutex failure;
    const auto work = [&] {
        for (std::size_t i; !stop && (i = next++) < count;) {
            try {
                job(i);
            } catch (...) {
                const std::lock_guard lock(failure);
                if (!failed) failed = std::current_exception();
                stop = true;
            }
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < std::max(1u, threads); ++t) workers.emplace_back(work);
    work();
    for (std::thread& t : workers) t.join();
    if (failed) std::rethrow_exception(failed);
}
