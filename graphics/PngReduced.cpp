#include "graphics/PngReduced.h"

#include "graphics/PictureLimits.h"
#include "graphics/PngCodec.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

namespace {

// Sums of each output pixel's block, a band of f rows at a time.
struct Reducer {
    int width = 0, height = 0, factor = 1;
    bool alpha = false;
    std::vector<std::uint32_t> sums; // four per output pixel
    QImage out;

    // One row of RGBA bytes (straight alpha), averaged premultiplied.
    void take(int y, const png_byte* row)
    {
        const int ow = out.width(), f = factor;
        for (int ox = 0; ox < ow; ++ox) {
            std::uint32_t r = 0, g = 0, b = 0, a = 0;
            const png_byte* p = row + std::size_t(4) * std::size_t(ox) * std::size_t(f);
            for (int k = 0; k < f; ++k, p += 4) {
                if (alpha) {
                    r += (p[0] * p[3] + 127) / 255;
                    g += (p[1] * p[3] + 127) / 255;
                    b += (p[2] * p[3] + 127) / 255;
                } else {
                    r += p[0];
                    g += p[1];
                    b += p[2];
                }
                a += p[3];
            }
            std::uint32_t* s = sums.data() + 4 * ox;
            s[0] += r;
            s[1] += g;
            s[2] += b;
            s[3] += a;
        }
        if ((y + 1) % f != 0)
            return;
        const int oy = y / f, n = f * f;
        if (oy >= out.height())
            return;
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(oy));
        for (int x = 0; x < ow; ++x) {
            const std::uint32_t* s = sums.data() + 4 * x;
            line[x] = qRgba(int((s[0] + n / 2) / n), int((s[1] + n / 2) / n), int((s[2] + n / 2) / n),
                            int((s[3] + n / 2) / n));
        }
        std::fill(sums.begin(), sums.end(), 0);
    }
};

} // namespace

QImage decodePngReduced(const QByteArray& data, QSize atLeast, const std::atomic<bool>* stop)
{
    if (atLeast.isEmpty())
        return QImage();
    Reducer r;
    png::Progressive p;
    p.stop = stop;
    p.prepare = [&](png_structp png, png_infop info, const PngHeader& h) {
        // Interlaced files, and anything past the limits, the whole decode reads.
        if (h.interlaced || !pictureSizeAllowed(h.width, h.height))
            return false;
        r.width = h.width;
        r.height = h.height;
        r.factor = std::max(1, std::min(r.width / atLeast.width(), r.height / atLeast.height()));
        if (r.factor < 2)
            return false;
        r.alpha = (h.colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
        r.out = QImage(r.width / r.factor, r.height / r.factor,
                       r.alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        r.sums.assign(std::size_t(r.out.width()) * 4, 0);
        return !r.out.isNull();
    };
    p.row = [&](png_structp, png_bytep bytes, png_uint_32 y, int) { r.take(int(y), bytes); };
    PngHeader h;
    // Damage the whole decode tells, as it shows what there is.
    if (png::readProgressively(data, p, &h) != png::Outcome::Complete)
        return QImage();
    return r.out;
}

QByteArray encodePng(const QImage& image)
{
    if (image.isNull())
        return QByteArray();
    const bool alpha = image.hasAlphaChannel();
    const QImage rows = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(rows.width());
    png.height = png_uint_32(rows.height());
    png.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    const auto stride = png_int_32(rows.bytesPerLine());
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, rows.constBits(), stride, nullptr))
        return QByteArray();
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    if (!png_image_write_to_memory(&png, out.data(), &size, 0, rows.constBits(), stride, nullptr))
        return QByteArray();
    out.truncate(qsizetype(size));
    return out;
}
