// What sortbench-counts reports: the comparisons and element moves of one
// sort call, counted by the contenders' own code, and whether a contender
// keeps equal keys in their input order.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/contenders.hpp"

struct count_record {
    std::string contender;
    std::string type;
    std::string pattern;
    std::uint32_t size = 0;
    std::optional<std::uint64_t> comparisons;  // empty: not available (no comparisons to count)
    std::optional<std::uint64_t> moves;        // empty: not available
};

// Counts every contender on every type it takes, pattern and size of the
// suite's run (the default run's cases, or all with `full_grid`), capped as
// in the suite; `wanted` selects by the name contender/pattern/size[/type].
// A contender whose counting form leaves an array unsorted throws.
std::vector<count_record> count_all(const std::vector<contender>& all, bool full_grid,
                                    const std::function<bool(const std::string&)>& wanted);

// Where the contender was first seen to put equal keys out of their input
// order, as "pattern/size"; empty when it never was. Tried on kv16 input
// whose payload is the input position, on every pattern with repeated keys
// and sizes up to 10,000.
std::optional<std::string> first_instability(const contender& c);
