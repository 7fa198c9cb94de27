#include "graphics/Bitmap24.h"

#include "core/Errors.h"
#include "graphics/PictureError.h"

#include <QPainter>

#include <cstring>

int Bitmap24::strideFor(int width) noexcept
{
    return int((std::int64_t(width) * 3 + 3) & ~std::int64_t(3));
}

bool Bitmap24::sizeAllowed(std::int64_t width, std::int64_t height) noexcept
{
    if (width < 0 || height < 0 || width > 0x7fffffff / 3 || height > 0x7fffffff)
        return false;
    const std::uint64_t stride = (std::uint64_t(width) * 3 + 3) & ~std::uint64_t(3);
    return stride * std::uint64_t(height) <= MaxBytes;
}

Bitmap24::Bitmap24(int width, int height)
{
    resize(width, height);
}

void Bitmap24::setSize(int width, int height)
{
    if (!sizeAllowed(width, height))
        throw PictureError::tooLarge(width, height);
    m_width = width;
    m_height = height;
    m_stride = strideFor(width);
}

void Bitmap24::resize(int width, int height)
{
    setSize(width, height);
    m_data.assign(std::size_t(m_stride) * std::size_t(height), 0);
}

void Bitmap24::resizeForOverwrite(int width, int height)
{
    setSize(width, height);
    // Dropped first: resizing would copy the old pixels over.
    m_data.clear();
    m_data.shrink_to_fit();
    m_data.resize(std::size_t(m_stride) * std::size_t(height));
    const std::size_t rowBytes = std::size_t(width) * 3;
    if (rowBytes != std::size_t(m_stride))
        for (int y = 0; y < height; ++y)
            std::memset(scanLine(y) + rowBytes, 0, std::size_t(m_stride) - rowBytes);
}

Bitmap24 Bitmap24::forOverwrite(int width, int height)
{
    Bitmap24 bitmap;
    bitmap.resizeForOverwrite(width, height);
    return bitmap;
}

void Bitmap24::fill(std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    for (int y = 0; y < m_height; ++y) {
        std::uint8_t* p = scanLine(y);
        for (int x = 0; x < m_width; ++x, p += 3) {
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
}

bool Bitmap24::samePixels(const Bitmap24& other) const noexcept
{
    if (m_width != other.m_width || m_height != other.m_height)
        return false;
    const std::size_t rowBytes = std::size_t(m_width) * 3;
    for (int y = 0; y < m_height; ++y)
        if (std::memcmp(scanLine(y), other.scanLine(y), rowBytes) != 0)
            return false;
    return true;
}

QImage Bitmap24::wrap() const
{
    if (isEmpty())
        return QImage();
    return QImage(bits(), m_width, m_height, m_stride, QImage::Format_BGR888);
}

QImage Bitmap24::toImage() const
{
    return wrap().copy();
}

Bitmap24 Bitmap24::fromImage(const QImage& image)
{
    Bitmap24 out;
    if (image.isNull())
        return out;
    QImage src = image.convertToFormat(QImage::Format_BGR888);
    if (image.hasAlphaChannel()) {
        // Transparent parts over white, as a file without alpha shows them.
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, image);
        src = flat.convertToFormat(QImage::Format_BGR888);
    }
    out.resize(src.width(), src.height());
    const std::size_t rowBytes = std::size_t(out.m_width) * 3;
    for (int y = 0; y < out.m_height; ++y)
        std::memcpy(out.scanLine(y), src.constScanLine(y), rowBytes);
    return out;
}
