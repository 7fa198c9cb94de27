#include "graphics/BlockReducer.h"

#include "graphics/PictureBands.h"

#include <algorithm>
#include <vector>

int blockFactorCovering(QSize size, QSize atLeast)
{
    if (atLeast.isEmpty())
        return 1;
    return std::max(1, std::min(size.width() / atLeast.width(), size.height() / atLeast.height()));
}

QImage reducedByBlocks(const QImage& image, QSize atLeast)
{
    const QImage::Format format = image.format();
    if (format != QImage::Format_RGB888 && format != QImage::Format_RGB32)
        return QImage();
    const int factor = blockFactorCovering(image.size(), atLeast);
    if (factor < 2)
        return QImage();
    QRect whole(QPoint(), scaledDown(image.size(), factor));
    BlockMeans means(image.size(), &whole, factor, false, false);
    if (means.image.isNull())
        return QImage();
    // Each row as RGBA bytes.
    const int width = image.width();
    std::vector<std::uint8_t> rgba(std::size_t(width) * 4, 0xFF);
    for (int y = 0; y < image.height(); ++y) {
        const uchar* in = image.constScanLine(y);
        if (format == QImage::Format_RGB888) {
            for (int x = 0; x < width; ++x)
                std::copy_n(in + 3 * x, 3, &rgba[std::size_t(4) * std::size_t(x)]);
        } else {
            const auto* px = reinterpret_cast<const QRgb*>(in);
            for (int x = 0; x < width; ++x) {
                std::uint8_t* o = &rgba[std::size_t(4) * std::size_t(x)];
                o[0] = std::uint8_t(qRed(px[x]));
                o[1] = std::uint8_t(qGreen(px[x]));
                o[2] = std::uint8_t(qBlue(px[x]));
            }
        }
        means.take(y, rgba.data());
    }
    return means.image;
}
