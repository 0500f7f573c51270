// One run of the companion suite, or of its counts: what the run owns (the
// contenders with their thread pools and loaded libraries) and what it
// accumulates (the inputs it has made, the benchmarks it has warmed up, the
// wrong results it has found). main() makes one and hands it to whatever
// registers or counts; a test makes its own.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "bench/engine/batch.hpp"
#include "bench/engine/contenders.hpp"
#include "inputs/user_data.hpp"

class thread_pools;
class contender_library;

class bench_run {
public:
    // The registry's routines, the anchors, the parallel sorts, then a
    // contender for each library in `libraries` (PATH or NAME=PATH), in
    // order. Throws
    // std::runtime_error with one line naming the library and the cause
    // when one cannot be loaded or takes a name that is already taken.
    explicit bench_run(const std::vector<std::string>& libraries = {}, std::unique_ptr<user_data> data = {});
    ~bench_run();
    bench_run(const bench_run&) = delete;
    bench_run& operator=(const bench_run&) = delete;

    const std::vector<contender>& contenders() const { return contenders_; }
    const thread_pools& pools() const { return *pools_; }
    // The user's data, as one more pattern; null without.
    const user_data* data() const { return data_.get(); }
    // Makes `data` the user's data instead; the inputs made of the old
    // data go with it.
    void replace_data(std::unique_ptr<user_data> data)
    {
        std::apply([](auto&... cache) { (std::erase_if(cache, [](const auto& e) { return e.first.first == pattern::from_file; }), ...); },
                   inputs_);
        data_ = std::move(data);
    }

    // The pre-made inputs of a pattern and size, made on first use and
    // shared by every contender, cache state and repetition.
    template <class T>
    prepared<T>& inputs(pattern p, std::uint32_t n)
    {
        auto& slot = std::get<input_cache<T>>(inputs_)[{p, n}];
        if (!slot && p == pattern::from_file) {
            slot = prepare_with<T>(n, 0, [&](std::span<T> out, std::size_t k) { data_->fill(out, k); });
        } else if (!slot) {
            slot = prepare<T>(p, n);
        }
        return *slot;
    }

    // True the first time it is asked about a benchmark, false after.
    bool first_call(const std::string& benchmark) { return warmed_.insert(benchmark).second; }

    void wrong_result() { ++wrong_; }
    // How many benchmarks found an array that did not come out as std::sort
    // of its input. Any makes the run fail.
    std::size_t wrong_results() const { return wrong_; }

private:
    template <class T>
    using input_cache = std::map<std::pair<pattern, std::uint32_t>, std::unique_ptr<prepared<T>>>;

    // The contenders call into the pools and libraries: declared first,
    // these are destroyed last.
    std::unique_ptr<thread_pools> pools_;
    std::vector<std::unique_ptr<contender_library>> libraries_;
    std::vector<contender> contenders_;
    std::unique_ptr<user_data> data_;
    per_type<input_cache> inputs_;
    std::set<std::string> warmed_;
    std::size_t wrong_ = 0;
};
