// The parallel sorts and what they keep between calls for a thread count:
// ips4o a pool of threads, the standard library's parallel algorithms
// (oneTBB underneath) a limit on TBB's workers, Boost.Sort only the count,
// as it starts its threads in every call.
#pragma once

#include <memory>
#include <vector>

#include "bench/engine/contenders.hpp"

// The threads of a run's parallel sorts. Setting them up for one sort
// releases every other sort's, so that no idle pool outlives its benchmarks.
class thread_pools {
public:
    thread_pools();
    ~thread_pools();
    thread_pools(const thread_pools&) = delete;
    thread_pools& operator=(const thread_pools&) = delete;

    // What a sort needs besides the count.
    enum class resource { none, ips4o_pool, tbb_limit };

    // The next calls run on `threads` threads, with `r` made for them.
    void use(resource r, unsigned threads);
    unsigned threads() const { return threads_; }

    // The ips4o pool for the current count, made here if use() has not.
    struct ips4o_pool_holder;
    ips4o_pool_holder& ips4o_pool();

    // Each parallel call notes the thread count it runs with, as its sort
    // library is given it (a pool's size, TBB's limit, an argument), so that
    // a test can see what reached the sort.
    unsigned ran_with(unsigned threads)
    {
        last_call_threads_ = threads;
        return threads;
    }
    unsigned last_call_threads() const { return last_call_threads_; }

private:
    unsigned threads_ = 1;
    unsigned last_call_threads_ = 0;
    std::unique_ptr<ips4o_pool_holder> ips4o_;
    struct tbb_limit_holder;
    std::unique_ptr<tbb_limit_holder> tbb_;
};

// ips4o_par, std_sort_par, block_indirect_sort, sample_sort,
// parallel_stable_sort, each running on `pools`, which must outlive them.
std::vector<contender> parallel_contenders(thread_pools& pools);
