// What the companion suite times: the registry's routines, then the standard
// library's sorts and the state of the art as anchors, all in the sort_func
// shape.
#pragma once

#include <string>
#include <vector>

#include "sorts/registry.hpp"

struct contender {
    std::string id;
    sort_func* routine;
    unsigned traits;  // routine_trait bits
};

std::vector<contender> contenders();

// The instruction set vqsort dispatches to on this machine, e.g. "AVX3".
std::string vqsort_target();
