#include "graphics/LargePages.h"

#include <QColorSpace>

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
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

QImage copied(const QImage& image)
{
    const std::size_t bytes = std::size_t(image.sizeInBytes());
    if (image.isNull() || bytes < Threshold)
        return image;
    void* p = allocate(bytes);
    std::memcpy(p, image.constBits(), bytes);
    QImage out(
        static_cast<uchar*>(p), image.width(), image.height(), image.bytesPerLine(), image.format(),
        [](void* q) { std::free(q); }, p);
    out.setColorSpace(image.colorSpace());
    out.setDevicePixelRatio(image.devicePixelRatio());
    out.setDotsPerMeterX(image.dotsPerMeterX());
    out.setDotsPerMeterY(image.dotsPerMeterY());
    return out;
}

} // namespace largepages
