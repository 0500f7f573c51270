// What the companion suite times: the registry's routines, then the standard
// library's sorts and the state of the art as anchors, then the parallel
// sorts. Each contender has a sort for every element type it can take, and,
// where it compares elements, a counting form of the same code.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sorts/forms.hpp"
#include "sorts/registry.hpp"

using sorts::not_counted;

struct contender {
    std::string id;
    unsigned traits = 0;  // routine_trait bits
    sort_forms forms;
    // Set for a parallel sort: makes its next calls use `threads` threads
    // (and makes its thread pool), outside any timed window.
    std::function<void(unsigned threads)> use_threads;
    // Another contender's code pinned to one instruction set (vqsort_avx2):
    // the suite runs it on a few telling cases beside the original, and
    // the counts leave it out, as they are the original's.
    bool pinned_target = false;
    // What its authors claim of its comparisons' growth, one claim a line:
    // "PATTERN: CLASS", "worst: CLASS" or "stable", each with "# where it
    // was stated".
    std::string claims{};

    template <class T>
    const typed_sort<T>& of() const
    {
        return forms.of<T>();
    }
    bool parallel() const { return static_cast<bool>(use_threads); }
};

// A routine of the registry as a contender: on int32 the suite times the
// very function that sortbench calls.
inline contender registry_contender(const routine_info& r)
{
    contender c{r.id, r.traits, *r.forms, {}};
    c.claims = r.claims;
    return c;
}

// The sequential contenders of `all` that `wanted` names, leaving out the
// pinned forms of vqsort: what the fault table, the certificate, the claims
// and the worst-case search cover.
inline std::vector<const contender*> sequential_contenders(const std::vector<contender>& all,
                                                           const std::function<bool(const std::string&)>& wanted)
{
    std::vector<const contender*> out;
    for (const contender& c : all) {
        if (!c.parallel() && !c.pinned_target && wanted(c.id)) out.push_back(&c);
    }
    return out;
}

// std_sort, std_stable_sort, pdqsort, spreadsort, vqsort, ips4o, spinsort,
// flat_stable_sort: sequential sorts from libraries, beside which the
// routines are read; then vqsort pinned to each instruction set below the
// one it picks that this processor runs (vqsort_avx2, vqsort_sse4), so that
// a slow target shows beside the others.
std::vector<contender> anchor_contenders();

// The same without vqsort and its pinned forms: what valgrind can run. A
// program that runs under valgrind links only these (sortbench_anchors).
std::vector<contender> scalar_anchor_contenders();

// The instruction set vqsort dispatches to on this machine, e.g. "AVX3".
std::string vqsort_target();

// The version of Highway the anchors were built against, as "1.0.3".
std::string highway_version();
