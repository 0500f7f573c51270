#include "bench_run.hpp"

#include <algorithm>
#include <stdexcept>

#include "bench/engine/parallel.hpp"
#include "bench/engine/plugin.hpp"

bench_run::bench_run(const std::vector<std::string>& libraries, std::unique_ptr<user_data> data)
    : pools_(std::make_unique<thread_pools>()), data_(std::move(data))
{
    for (const routine_info& r : routines) {
        contenders_.push_back(registry_contender(r));
    }
    for (contender& c : anchor_contenders()) contenders_.push_back(std::move(c));
    for (contender& c : parallel_contenders(*pools_)) contenders_.push_back(std::move(c));
    for (const std::string& spec : libraries) {
        auto library = std::make_unique<contender_library>(spec);
        const std::string& name = library->name();
        if (std::any_of(contenders_.begin(), contenders_.end(), [&](const contender& c) { return c.id == name; })) {
            throw std::runtime_error(library->path() + ": the name '" + name +
                                     "' is taken by another contender (name it: --contender=NAME=PATH)");
        }
        contenders_.push_back(library->as_contender());
        libraries_.push_back(std::move(library));
    }
}

bench_run::~bench_run() = default;
