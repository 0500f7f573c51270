#include "parallel.hpp"

#include <boost/sort/sort.hpp>
#include <execution>
#include <ips4o.hpp>
#include <tbb/global_control.h>

#include <algorithm>
#include <string>

struct thread_pools::ips4o_pool_holder {
    explicit ips4o_pool_holder(unsigned threads) : pool(threads) {}
    ips4o::StdThreadPool pool;
};

struct thread_pools::tbb_limit_holder {
    explicit tbb_limit_holder(unsigned threads) : limit(tbb::global_control::max_allowed_parallelism, threads) {}
    tbb::global_control limit;
};

thread_pools::thread_pools() = default;
thread_pools::~thread_pools() = default;

void thread_pools::use(resource r, unsigned threads)
{
    // Already so: the pool or limit there serves, and is not made again.
    const bool held = (r == resource::ips4o_pool && ips4o_) || (r == resource::tbb_limit && tbb_) ||
                      (r == resource::none && !ips4o_ && !tbb_);
    if (held && threads == threads_) return;
    ips4o_.reset();
    tbb_.reset();
    threads_ = threads;
    if (r == resource::ips4o_pool) ips4o_ = std::make_unique<ips4o_pool_holder>(threads);
    if (r == resource::tbb_limit) tbb_ = std::make_unique<tbb_limit_holder>(threads);
}

thread_pools::ips4o_pool_holder& thread_pools::ips4o_pool()
{
    if (!ips4o_) ips4o_ = std::make_unique<ips4o_pool_holder>(threads_);
    return *ips4o_;
}

namespace {

using resource = thread_pools::resource;

// Each parallel sort is called with the run's pools as its state.
thread_pools& pools_of(void* state)
{
    return *static_cast<thread_pools*>(state);
}

struct ips4o_par {
    static constexpr resource needs = resource::ips4o_pool;
    template <class T>
    static void sort(void* state, T* a, std::uint32_t n)
    {
        thread_pools& pools = pools_of(state);
        ips4o::StdThreadPool& pool = pools.ips4o_pool().pool;
        pools.ran_with(static_cast<unsigned>(pool.numThreads()));
        ips4o::parallel::sort(a, a + n, std::less<>(), pool);
    }
};

struct std_sort_par {
    static constexpr resource needs = resource::tbb_limit;
    template <class T>
    static void sort(void* state, T* a, std::uint32_t n)
    {
        const auto limit = tbb::global_control::active_value(tbb::global_control::max_allowed_parallelism);
        pools_of(state).ran_with(static_cast<unsigned>(limit));
        std::sort(std::execution::par, a, a + n);
    }
};

struct block_indirect_sort {
    static constexpr resource needs = resource::none;
    template <class T>
    static void sort(void* state, T* a, std::uint32_t n)
    {
        boost::sort::block_indirect_sort(a, a + n, pools_of(state).ran_with(pools_of(state).threads()));
    }
};

struct sample_sort {
    static constexpr resource needs = resource::none;
    template <class T>
    static void sort(void* state, T* a, std::uint32_t n)
    {
        boost::sort::sample_sort(a, a + n, pools_of(state).ran_with(pools_of(state).threads()));
    }
};

struct parallel_stable_sort {
    static constexpr resource needs = resource::none;
    template <class T>
    static void sort(void* state, T* a, std::uint32_t n)
    {
        boost::sort::parallel_stable_sort(a, a + n, pools_of(state).ran_with(pools_of(state).threads()));
    }
};

// Parallel sorts are not counted: their comparisons are counted through
// their sequential forms, where they have one.
template <class P>
contender parallel(std::string id, thread_pools& pools)
{
    contender c{std::move(id), 0, {}, [&pools](unsigned threads) { pools.use(P::needs, threads); }};
    for_each_type([&]<class T>(T) { c.forms.of<T>().sort = sort_ref<T>(&P::template sort<T>, &pools); });
    return c;
}

}  // namespace

std::vector<contender> parallel_contenders(thread_pools& pools)
{
    return {
        parallel<ips4o_par>("ips4o_par", pools),
        parallel<std_sort_par>("std_sort_par", pools),
        parallel<block_indirect_sort>("block_indirect_sort", pools),
        parallel<sample_sort>("sample_sort", pools),
        parallel<parallel_stable_sort>("parallel_stable_sort", pools),
    };
}
