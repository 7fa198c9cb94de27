#include "graphics/SampleRaster.h"

#include "graphics/Orientation.h"
#include "graphics/PictureLimits.h"

#include <cstring>

namespace {

// Where output pixel (x, y) is read, in source pixels: origin + x * xStep + y * yStep.
struct Walk {
    int x0, y0, xdx, ydx, xdy, ydy; // source x = x0 + xdx*x + xdy*y, likewise y
};

Walk walkFor(int orientation, int w, int h)
{
    switch (orientation) {
    case 2:
        return {w - 1, 0, -1, 0, 0, 1};
    case 3:
        return {w - 1, h - 1, -1, 0, 0, -1};
    case 4:
        return {0, h - 1, 1, 0, 0, -1};
    case 5:
        return {0, 0, 0, 1, 1, 0};
    case 6:
        return {0, h - 1, 0, -1, 1, 0};
    case 7:
        return {w - 1, h - 1, 0, -1, -1, 0};
    case 8:
        return {w - 1, 0, 0, 1, -1, 0};
    default:
        return {0, 0, 1, 0, 0, 1};
    }
}

// `bits` bits at bit `from` of `in` to bit `to` of `out` (first bit: the
// high bit of the first byte).
void copyBits(const std::uint8_t* in, std::size_t from, std::uint8_t* out, std::size_t to, int bits)
{
    for (int i = 0; i < bits; ++i, ++from, ++to) {
        const int bit = (in[from >> 3] >> (7 - (from & 7))) & 1;
        const auto mask = std::uint8_t(0x80u >> (to & 7));
        out[to >> 3] = std::uint8_t(bit ? out[to >> 3] | mask : out[to >> 3] & ~mask);
    }
}

} // namespace

SampleRaster::SampleRaster(int width, int height, int bitsPerPixel)
{
    checkPictureSize(width, height);
    m_width = width;
    m_height = height;
    m_bits = bitsPerPixel;
    m_stride = (std::size_t(width) * std::size_t(bitsPerPixel) + 7) / 8;
    m_data.assign(m_stride * std::size_t(height), 0);
}

SampleRaster SampleRaster::oriented(int orientation) const
{
    if (!isOrientation(orientation) || orientation == 1 || isEmpty())
        return *this;
    const QSize size = orientedSize(this->size(), orientation);
    SampleRaster out(size.width(), size.height(), m_bits);
    const Walk w = walkFor(orientation, m_width, m_height);
    const std::size_t bytes = m_bits % 8 == 0 ? std::size_t(m_bits / 8) : 0;
    for (int y = 0; y < out.m_height; ++y) {
        std::uint8_t* o = out.row(y);
        int sx = w.x0 + w.xdy * y, sy = w.y0 + w.ydy * y;
        for (int x = 0; x < out.m_width; ++x, sx += w.xdx, sy += w.ydx) {
            if (bytes)
                std::memcpy(o + std::size_t(x) * bytes, row(sy) + std::size_t(sx) * bytes, bytes);
            else
                copyBits(row(sy), std::size_t(sx) * std::size_t(m_bits), o, std::size_t(x) * std::size_t(m_bits),
                         m_bits);
        }
    }
    return out;
}

unsigned SampleRaster::sample(int x, int y, int index, int bits) const noexcept
{
    const int perPixel = m_bits / bits;
    const std::size_t at = std::size_t(x) * std::size_t(perPixel) + std::size_t(index);
    const std::uint8_t* p = row(y);
    if (bits == 16)
        return unsigned(p[2 * at] << 8 | p[2 * at + 1]);
    if (bits == 8)
        return p[at];
    const std::size_t bit = at * std::size_t(bits);
    return (p[bit >> 3] >> (8 - bits - int(bit & 7))) & ((1u << bits) - 1);
}

void SampleRaster::setSample(int x, int y, int index, int bits, unsigned value) noexcept
{
    const int perPixel = m_bits / bits;
    const std::size_t at = std::size_t(x) * std::size_t(perPixel) + std::size_t(index);
    std::uint8_t* p = row(y);
    if (bits == 16) {
        p[2 * at] = std::uint8_t(value >> 8);
        p[2 * at + 1] = std::uint8_t(value);
    } else if (bits == 8) {
        p[at] = std::uint8_t(value);
    } else {
        const std::size_t bit = at * std::size_t(bits);
        const int shift = 8 - bits - int(bit & 7);
        const unsigned mask = ((1u << bits) - 1) << shift;
        p[bit >> 3] = std::uint8_t((p[bit >> 3] & ~mask) | ((value << shift) & mask));
    }
}
