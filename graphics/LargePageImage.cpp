#include "graphics/LargePageImage.h"

#include "core/LargePages.h"

#include <QColorSpace>

#include <cstring>
#include <vector>

QImage copiedToLargePages(const QImage& image)
{
    const std::size_t bytes = std::size_t(image.sizeInBytes());
    if (image.isNull() || bytes < largepages::Threshold)
        return image;
    // Released through the allocator that took it.
    using Buffer = std::vector<uchar, largepages::Allocator<uchar>>;
    auto* buffer = new Buffer(bytes);
    std::memcpy(buffer->data(), image.constBits(), bytes);
    QImage out(
        buffer->data(), image.width(), image.height(), image.bytesPerLine(), image.format(),
        [](void* b) { delete static_cast<Buffer*>(b); }, buffer);
    out.setColorSpace(image.colorSpace());
    out.setDevicePixelRatio(image.devicePixelRatio());
    out.setDotsPerMeterX(image.dotsPerMeterX());
    out.setDotsPerMeterY(image.dotsPerMeterY());
    return out;
}
