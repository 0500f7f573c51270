#include "buffer.hpp"

#include <sys/mman.h>

#include <cstdint>

namespace {

constexpr std::size_t huge_page = std::size_t{2} << 20;

#ifdef SORTBENCH_HUGE_PAGES
constexpr bool want_huge_pages = true;
#else
constexpr bool want_huge_pages = false;
#endif

}  // namespace

sort_buffer allocate_sort_buffer(std::size_t elements)
{
    // Room for the alignment slack must fit in size_t too; a count that does
    // not fit is treated like memory that cannot be had.
    const std::size_t limit = (SIZE_MAX - huge_page) / sizeof(std::int32_t);
    if (elements > limit) {
        return {};
    }
    const std::size_t bytes = elements * sizeof(std::int32_t);
    // Huge pages need a 2 MiB-aligned start; the kernel does not promise one,
    // so map one page more and start at the first boundary inside.
    const std::size_t mapped = want_huge_pages ? bytes + huge_page : bytes;
    void* base = mmap(nullptr, mapped == 0 ? 1 : mapped, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
        return {};
    }
    auto start = reinterpret_cast<std::uintptr_t>(base);
    if (want_huge_pages) {
        start = (start + huge_page - 1) & ~(huge_page - 1);
    }
    // Advice only: where the kernel declines, the buffer still works.
    madvise(reinterpret_cast<void*>(start), bytes, want_huge_pages ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
    return {reinterpret_cast<std::int32_t*>(start), base, mapped == 0 ? 1 : mapped};
}

void release_sort_buffer(sort_buffer& buffer)
{
    if (buffer.base != nullptr) {
        munmap(buffer.base, buffer.mapped_bytes);
    }
    buffer = {};
}
