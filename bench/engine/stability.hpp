// Whether a sort keeps equal keys in their input order: asked by the counts
// and by the advice.
#pragma once

#include <optional>
#include <string>

#include "bench/engine/contenders.hpp"
#include "bench/engine/grid.hpp"

// The grid of the stability check: kv16 on every pattern at 10, 100, 1,000
// and 10,000 elements, warm, a parallel sort at `threads`.
grid_options stability_grid(unsigned threads);

// Where the contender was first seen to put equal keys out of their input
// order, as "pattern/size"; empty when it never was. Tried on kv16 input
// whose payload is the input position, on every case of stability_grid(),
// a parallel sort on `threads` (two or more, so that its threads can meet).
std::optional<std::string> first_instability(const contender& c, unsigned threads);
