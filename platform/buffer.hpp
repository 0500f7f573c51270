// Memory for the arrays of one timed run: tens of megabytes, zero-filled,
// taken from the kernel and given back after the run.
//
// Where SORTBENCH_HUGE_PAGES is set (the default), the mapping is aligned to
// 2 MiB and marked for transparent huge pages. On a VM every fresh 4 KiB page
// costs a fault and a zeroing: 10,000 of them per 40 MB buffer made the runs
// between the timed windows take longer than the sorting. Huge pages also
// mean fewer TLB misses inside the timed window; without the option the
// mapping is marked against huge pages, so the page size is 4 KiB whatever
// the system's THP mode.
#pragma once

#include <cstddef>
#include <cstdint>

struct sort_buffer {
    std::int32_t* data = nullptr;  // null when the memory could not be had
    void* base = nullptr;          // the whole mapping, for release
    std::size_t mapped_bytes = 0;
};

// Room for `elements` zero-filled 32-bit integers.
sort_buffer allocate_sort_buffer(std::size_t elements);

void release_sort_buffer(sort_buffer& buffer);
