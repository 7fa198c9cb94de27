#include "graphics/BlockReducer.h"

#include <algorithm>

BlockReducer::BlockReducer(int width, int height, int factor, bool alpha)
    : m_factor(factor), m_alpha(alpha),
      m_out(width / factor, height / factor, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32)
{
    m_sums.assign(std::size_t(std::max(0, m_out.width())) * 4, 0);
}

int BlockReducer::factorCovering(QSize size, QSize atLeast)
{
    if (atLeast.isEmpty())
        return 1;
    return std::max(1, std::min(size.width() / atLeast.width(), size.height() / atLeast.height()));
}

void BlockReducer::take(int y, const std::uint8_t* row)
{
    const int ow = m_out.width(), f = m_factor;
    for (int ox = 0; ox < ow; ++ox) {
        std::uint32_t r = 0, g = 0, b = 0, a = 0;
        const std::uint8_t* p = row + std::size_t(4) * std::size_t(ox) * std::size_t(f);
        for (int k = 0; k < f; ++k, p += 4) {
            if (m_alpha) {
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
        std::uint32_t* s = m_sums.data() + 4 * ox;
        s[0] += r;
        s[1] += g;
        s[2] += b;
        s[3] += a;
    }
    if ((y + 1) % f != 0)
        return;
    const int oy = y / f, n = f * f;
    if (oy >= m_out.height())
        return;
    auto* line = reinterpret_cast<QRgb*>(m_out.scanLine(oy));
    for (int x = 0; x < ow; ++x) {
        const std::uint32_t* s = m_sums.data() + 4 * x;
        line[x] = qRgba(int((s[0] + n / 2) / n), int((s[1] + n / 2) / n), int((s[2] + n / 2) / n),
                        int((s[3] + n / 2) / n));
    }
    std::fill(m_sums.begin(), m_sums.end(), 0);
}

QImage reducedByBlocks(const QImage& image, QSize atLeast)
{
    const QImage::Format format = image.format();
    if (format != QImage::Format_RGB888 && format != QImage::Format_RGB32)
        return QImage();
    const int factor = BlockReducer::factorCovering(image.size(), atLeast);
    if (factor < 2)
        return QImage();
    BlockReducer reducer(image.width(), image.height(), factor, false);
    if (reducer.result().isNull())
        return QImage();
    // The rows the blocks cover, each as RGBA bytes.
    const int used = image.height() / factor * factor, width = reducer.result().width() * factor;
    std::vector<std::uint8_t> rgba(std::size_t(width) * 4, 0xFF);
    for (int y = 0; y < used; ++y) {
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
        reducer.take(y, rgba.data());
    }
    return reducer.result();
}
