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

namespace {

// Sixteen bytes a step, a count the compiler turns into a few wide adds.
void addRow(std::uint32_t* __restrict sums, const uchar* __restrict row, std::size_t bytes)
{
    std::size_t i = 0;
    for (; i + 16 <= bytes; i += 16)
        for (std::size_t k = 0; k < 16; ++k)
            sums[i + k] += row[i + k];
    for (; i < bytes; ++i)
        sums[i] += row[i];
}

} // namespace

QImage reducedByBlocks(const QImage& image, QSize atLeast)
{
    const QImage::Format format = image.format();
    if (format != QImage::Format_RGB888 && format != QImage::Format_RGB32)
        return QImage();
    const int factor = blockFactorCovering(image.size(), atLeast);
    if (factor < 2)
        return QImage();
    const QSize size = scaledDown(image.size(), factor);
    QImage out(size, QImage::Format_RGB32);
    if (out.isNull())
        return QImage();
    // Rows are summed whole first, a loop the compiler makes wide; each
    // block's columns are then added once per row of blocks.
    const int width = image.width(), height = image.height();
    const int bytes = format == QImage::Format_RGB888 ? 3 : 4;
    // Where red, green and blue lie in a pixel's bytes.
    const int r = bytes == 3 ? 0 : 2, g = 1, b = bytes == 3 ? 2 : 0;
    const std::size_t rowBytes = std::size_t(width) * std::size_t(bytes);
    std::vector<std::uint32_t> sums(rowBytes, 0);
    for (int y = 0; y < height; ++y) {
        addRow(sums.data(), image.constScanLine(y), rowBytes);
        const std::uint32_t* s = sums.data();
        if ((y + 1) % factor != 0 && y + 1 != height)
            continue;
        const std::uint32_t rows = std::uint32_t(y % factor + 1);
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y / factor));
        for (int ox = 0; ox < size.width(); ++ox) {
            const int x0 = ox * factor, x1 = std::min(x0 + factor, width);
            // Wide: a block of a giant picture fitted into a few pixels
            // holds more than 32 bits of levels.
            std::uint64_t sr = 0, sg = 0, sb = 0;
            for (const std::uint32_t* p = s + std::size_t(x0) * bytes; p < s + std::size_t(x1) * bytes; p += bytes) {
                sr += p[r];
                sg += p[g];
                sb += p[b];
            }
            const std::uint64_t n = std::uint64_t(x1 - x0) * rows;
            line[ox] = qRgb(int((sr + n / 2) / n), int((sg + n / 2) / n), int((sb + n / 2) / n));
        }
        std::fill(sums.begin(), sums.end(), 0);
    }
    return out;
}
