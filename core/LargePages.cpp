#include "core/LargePages.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace largepages {

namespace {
constexpr std::size_t PageBytes = std::size_t(2) << 20;
} // namespace

void* allocate(std::size_t bytes)
{
    if (bytes < Threshold)
        return ::operator new(bytes);
    // Aligned but not rounded up: the last, partial large page stays in
    // small pages, so no memory is held beyond the buffer.
    void* p = nullptr;
    if (::posix_memalign(&p, PageBytes, bytes) != 0)
        throw std::bad_alloc();
    // Only advice: without large pages the buffer works as any other.
    ::madvise(p, bytes, MADV_HUGEPAGE);
    return p;
}

void release(void* p, std::size_t bytes) noexcept
{
    if (bytes < Threshold)
        ::operator delete(p);
    else
        std::free(p);
}

} // namespace largepages
