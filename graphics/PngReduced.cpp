#include "graphics/PngReduced.h"

#include "graphics/BlockReducer.h"
#include "graphics/PictureBands.h"
#include "graphics/PictureLimits.h"
#include "graphics/PngCodec.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

QImage decodePngReduced(const QByteArray& data, QSize atLeast, const std::atomic<bool>* stop)
{
    if (atLeast.isEmpty())
        return QImage();
    PngMeans means;
    QRect whole;
    png::Progressive p;
    p.stop = stop;
    p.passes = true;
    p.prepare = [&](png_structp png, png_infop info, const PngHeader& h) {
        // Anything past the limits the whole decode reads.
        if (!pictureSizeAllowed(h.width, h.height))
            return false;
        const int factor = blockFactorCovering(QSize(h.width, h.height), atLeast);
        if (factor < 2)
            return false;
        whole = QRect(QPoint(), scaledDown(QSize(h.width, h.height), factor));
        return means.start(png, info, h, &whole, factor);
    };
    p.row = [&](png_structp, png_bytep bytes, png_uint_32 y, int pass) { means.take(bytes, y, pass); };
    PngHeader h;
    // Damage the whole decode tells, as it shows what there is.
    const png::Outcome outcome = png::readProgressively(data, p, &h);
    return outcome == png::Outcome::Complete ? means.image(outcome) : QImage();
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
