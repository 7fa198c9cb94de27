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

int blocksFactor(QSize size, QSize reduced)
{
    if (reduced.isEmpty())
        return 0;
    // Edge blocks count whole: factors from the ratio up to where the width
    // falls short give the same width.
    for (int factor = std::max(2, size.width() / reduced.width());
         scaledDown(size, factor).width() >= reduced.width(); ++factor)
        if (scaledDown(size, factor) == reduced)
            return factor;
    return 0;
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

// Where a row's samples are summed: `bytes` of them from `first` (a row
// further down every `stride`) into the sums from `at` on.
struct Run {
    const uchar* first;
    qsizetype stride;
    std::size_t at;
    std::size_t bytes;
};

// Red, green and blue of pixel x lie at the sums' base[c] + x * step.
QImage reducedRuns(QSize whole, int factor, const std::vector<Run>& runs, const std::size_t (&base)[3],
                   std::size_t step)
{
    const QSize size = scaledDown(whole, factor);
    QImage out(size, QImage::Format_RGB32);
    if (out.isNull())
        return QImage();
    // Rows are summed whole first, a loop the compiler makes wide; each
    // block's columns are then added once per row of blocks.
    const int width = whole.width(), height = whole.height();
    std::size_t total = 0;
    for (const Run& run : runs)
        total = std::max(total, run.at + run.bytes);
    std::vector<std::uint32_t> sums(total, 0);
    for (int y = 0; y < height; ++y) {
        for (const Run& run : runs)
            addRow(sums.data() + run.at, run.first + run.stride * y, run.bytes);
        if ((y + 1) % factor != 0 && y + 1 != height)
            continue;
        const std::uint32_t rows = std::uint32_t(y % factor + 1);
        const std::uint32_t *r = sums.data() + base[0], *g = sums.data() + base[1],
                            *b = sums.data() + base[2];
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y / factor));
        for (int ox = 0; ox < size.width(); ++ox) {
            const int x0 = ox * factor, x1 = std::min(x0 + factor, width);
            // Wide: a block of a giant picture fitted into a few pixels
            // holds more than 32 bits of levels.
            std::uint64_t sr = 0, sg = 0, sb = 0;
            for (std::size_t i = std::size_t(x0) * step; i < std::size_t(x1) * step; i += step) {
                sr += r[i];
                sg += g[i];
                sb += b[i];
            }
            const std::uint64_t n = std::uint64_t(x1 - x0) * rows;
            line[ox] = qRgb(int((sr + n / 2) / n), int((sg + n / 2) / n), int((sb + n / 2) / n));
        }
        std::fill(sums.begin(), sums.end(), 0);
    }
    return out;
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
    const std::size_t bytes = format == QImage::Format_RGB888 ? 3 : 4;
    const std::size_t rowBytes = std::size_t(image.width()) * bytes;
    // Red, green and blue: RGB888 keeps them in that order, RGB32 the other way.
    const std::size_t rgb888[3] = {0, 1, 2}, rgb32[3] = {2, 1, 0};
    return reducedRuns(image.size(), factor, {Run{image.constBits(), image.bytesPerLine(), 0, rowBytes}},
                       bytes == 3 ? rgb888 : rgb32, bytes);
}

QImage reducedByBlocks(const RgbPlanes& planes, QSize atLeast)
{
    const int factor = blockFactorCovering(planes.size, atLeast);
    if (factor < 2)
        return QImage();
    const std::size_t width = std::size_t(planes.size.width());
    std::vector<Run> runs;
    for (std::size_t c = 0; c < 3; ++c)
        runs.push_back(Run{planes.first[c], planes.stride[c], c * width, width});
    return reducedRuns(planes.size, factor, runs, {0, width, 2 * width}, 1);
}
