#include "graphics/LargePageImage.h"

#include "core/LargePages.h"

#include <QColorSpace>

#include <cstdlib>
#include <cstring>

QImage copiedToLargePages(const QImage& image)
{
    const std::size_t bytes = std::size_t(image.sizeInBytes());
    if (image.isNull() || bytes < largepages::Threshold)
        return image;
    void* p = largepages::allocate(bytes);
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
