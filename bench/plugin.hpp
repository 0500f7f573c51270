// Contenders from shared libraries (include/sortbench/contender.h), loaded
// with dlopen into this process.
#pragma once

#include <string>
#include <vector>

#include "bench/contenders.hpp"

// At most this many libraries per run: each takes a set of fixed entry
// points, since a loaded function cannot be called through the suite's own
// function type.
inline constexpr std::size_t max_loaded_contenders = 16;

// Loads the library at `path` as a contender. Throws std::runtime_error with
// one line naming the path and the cause when it cannot be loaded, exports no
// sortbench_sort_* function, has more libraries before it than fit, or has a
// name that is not usable or that another contender in `taken` already has.
contender load_contender(const std::string& path, const std::vector<contender>& taken);

// The built-in contenders, then one per --contender path, in order.
std::vector<contender> contenders_with(const std::vector<std::string>& paths);
