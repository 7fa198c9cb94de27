#include "graphics/PictureBands.h"

#include "graphics/LosslessWebp.h"
#include "graphics/PictureLimits.h"
#include "graphics/PngCodec.h"

#include <webp/decode.h>

BlockMeans::BlockMeans(QSize stored, QRect* band, int denom, bool alpha, bool premultiplied)
    : m_stored(stored), m_denom(std::max(denom, 1)), m_alpha(alpha), m_premultiplied(premultiplied)
{
    *band = band->intersected(QRect(QPoint(), scaledDown(stored, m_denom)));
    m_band = *band;
    if (m_band.isEmpty())
        return;
    image = QImage(m_band.size(), alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    m_sums.assign(std::size_t(m_band.width()) * 4, 0);
    m_next = firstRow();
}

void BlockMeans::take(int y, const std::uint8_t* rgba, int from)
{
    if (y != m_next || done() || image.isNull())
        return;
    ++m_next;
    const int d = m_denom, right = m_stored.width();
    const bool weigh = m_alpha && !m_premultiplied;
    std::uint64_t* s = m_sums.data();
    // The kind of pixel decided once a row, not once a pixel: this loop
    // sees every pixel of a picture reduced whole.
    for (int ox = 0; ox < m_band.width(); ++ox, s += 4) {
        const int x0 = (m_band.left() + ox) * d, x1 = std::min(x0 + d, right);
        const std::uint8_t* p = rgba + std::size_t(4) * std::size_t(x0 - from);
        std::uint32_t r = 0, g = 0, b = 0, a = 0;
        if (weigh) {
            for (int x = x0; x < x1; ++x, p += 4) {
                r += (p[0] * p[3] + 127) / 255;
                g += (p[1] * p[3] + 127) / 255;
                b += (p[2] * p[3] + 127) / 255;
                a += p[3];
            }
        } else {
            for (int x = x0; x < x1; ++x, p += 4) {
                r += p[0];
                g += p[1];
                b += p[2];
                a += p[3];
            }
        }
        s[0] += r;
        s[1] += g;
        s[2] += b;
        s[3] += m_alpha ? a : std::uint32_t(255 * (x1 - x0));
    }
    if ((y + 1) % d != 0 && y + 1 != m_stored.height())
        return;
    const int rows = y % d + 1;
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y / d - m_band.top()));
    s = m_sums.data();
    for (int ox = 0; ox < m_band.width(); ++ox, s += 4) {
        const int x0 = (m_band.left() + ox) * d;
        const std::uint64_t n = std::uint64_t(std::min(x0 + d, right) - x0) * std::uint64_t(rows);
        line[ox] = qRgba(int((s[0] + n / 2) / n), int((s[1] + n / 2) / n), int((s[2] + n / 2) / n),
                         int((s[3] + n / 2) / n));
    }
    std::fill(m_sums.begin(), m_sums.end(), 0);
}

PassMeans::PassMeans(QSize stored, QRect* band, int denom, bool alpha)
    : m_stored(stored), m_denom(std::max(denom, 1)), m_alpha(alpha)
{
    *band = band->intersected(QRect(QPoint(), scaledDown(stored, m_denom)));
    m_band = *band;
    if (!m_band.isEmpty() && m_denom <= LargestDenom)
        m_sums.assign(std::size_t(m_band.width()) * std::size_t(m_band.height()) * 4, 0);
}

void PassMeans::take(int pass, int y, const std::uint8_t* rgba)
{
    if (m_sums.empty())
        return;
    const QPoint first = png::adam7Pixel(pass, 0, y), step = png::adam7Pixel(pass, 1, y) - first;
    const int by = first.y() / m_denom - m_band.top();
    if (by < 0 || by >= m_band.height())
        return;
    const int left = m_band.left() * m_denom;
    const int right = std::min((m_band.right() + 1) * m_denom, m_stored.width());
    int k = std::max(0, (left - first.x() + step.x() - 1) / step.x());
    std::uint32_t* row = m_sums.data() + std::size_t(by) * std::size_t(m_band.width()) * 4;
    for (int x = first.x() + k * step.x(); x < right; x += step.x(), ++k) {
        const std::uint8_t* p = rgba + std::size_t(4) * std::size_t(k);
        std::uint32_t* s = row + std::size_t(x / m_denom - m_band.left()) * 4;
        const std::uint32_t a = m_alpha ? p[3] : 255;
        // Weighed by alpha, as BlockMeans does for straight alpha.
        s[0] += m_alpha ? (p[0] * a + 127) / 255 : p[0];
        s[1] += m_alpha ? (p[1] * a + 127) / 255 : p[1];
        s[2] += m_alpha ? (p[2] * a + 127) / 255 : p[2];
        s[3] += a;
    }
}

QImage PassMeans::means() const
{
    if (m_sums.empty())
        return QImage();
    QImage image(m_band.size(), m_alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const std::uint32_t* s = m_sums.data();
    for (int by = 0; by < m_band.height(); ++by) {
        const int y0 = (m_band.top() + by) * m_denom;
        const std::uint32_t rows = std::uint32_t(std::min(y0 + m_denom, m_stored.height()) - y0);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(by));
        for (int bx = 0; bx < m_band.width(); ++bx, s += 4) {
            const int x0 = (m_band.left() + bx) * m_denom;
            const std::uint32_t n = std::uint32_t(std::min(x0 + m_denom, m_stored.width()) - x0) * rows;
            line[bx] = qRgba(int((s[0] + n / 2) / n), int((s[1] + n / 2) / n), int((s[2] + n / 2) / n),
                             int((s[3] + n / 2) / n));
        }
    }
    return image;
}

bool PngMeans::start(png_structp png, png_infop info, const PngHeader& h, QRect* band, int denom)
{
    const bool alpha = png::expandToRgba(png, info, h);
    const QSize stored(h.width, h.height);
    if (h.interlaced) {
        m_passes.emplace(stored, band, denom, alpha);
        return m_passes->valid();
    }
    m_rows.emplace(stored, band, denom, alpha, false);
    return !m_rows->image.isNull();
}

void PngMeans::take(png_bytep row, png_uint_32 y, int pass)
{
    if (m_passes)
        m_passes->take(pass, int(y), row);
    else if (m_rows)
        m_rows->take(int(y), row);
}

QImage PngMeans::image(png::Outcome outcome) const
{
    if (m_rows)
        return m_rows->done() ? m_rows->image : QImage();
    return m_passes && outcome == png::Outcome::Complete ? m_passes->means() : QImage();
}

QImage decodePngBand(const QByteArray& data, QRect* band, int denom, const std::atomic<bool>* stop)
{
    PngMeans means;
    // Set once the band's last row came: libpng is given no more.
    std::atomic<bool> enough = false;
    png::Progressive p;
    p.stop = &enough;
    p.passes = true;
    p.prepare = [&](png_structp png, png_infop info, const PngHeader& h) {
        return pictureSizeAllowed(h.width, h.height) && means.start(png, info, h, band, denom);
    };
    p.row = [&](png_structp, png_bytep row, png_uint_32 y, int pass) {
        means.take(row, y, pass);
        if (means.rowsDone() || (stop && *stop))
            enough = true;
    };
    PngHeader h;
    const QImage image = means.image(png::readProgressively(data, p, &h));
    if (image.isNull() || (stop && *stop)) {
        *band = QRect();
        return QImage();
    }
    return image;
}

namespace {

// `crop` of a still WebP's stored pixels, scaled by libwebp to `out`.
QImage decodeWebp(const QByteArray& data, QRect crop, QSize out)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return QImage();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.constData());
    if (WebPGetFeatures(bytes, std::size_t(data.size()), &config.input) != VP8_STATUS_OK ||
        config.input.has_animation)
        return QImage();
    // libwebp starts a crop on an even pixel: an odd start is read a pixel
    // early and that pixel dropped (never when scaling, whose crops start
    // on a multiple of the scale).
    const bool scaled = out != crop.size();
    const int earlyX = scaled ? 0 : crop.x() & 1, earlyY = scaled ? 0 : crop.y() & 1;
    const QRect read = crop.adjusted(-earlyX, -earlyY, 0, 0);
    const bool alpha = config.input.has_alpha;
    QImage image(scaled ? out : read.size(),
                 alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    config.options.use_cropping = 1;
    config.options.crop_left = read.x();
    config.options.crop_top = read.y();
    config.options.crop_width = read.width();
    config.options.crop_height = read.height();
    if (scaled) {
        config.options.use_scaling = 1;
        config.options.scaled_width = out.width();
        config.options.scaled_height = out.height();
    }
    // Blue, green, red, alpha in memory: a QRgb on this little-endian machine.
    config.output.colorspace = alpha ? MODE_bgrA : MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image.bits();
    config.output.u.RGBA.stride = int(image.bytesPerLine());
    config.output.u.RGBA.size = std::size_t(image.sizeInBytes());
    const VP8StatusCode status = WebPDecode(bytes, std::size_t(data.size()), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        return QImage();
    return earlyX || earlyY ? image.copy(QRect(QPoint(earlyX, earlyY), crop.size())) : image;
}

// libwebp keeps a lossless picture's whole frame while it decodes, our
// own decoder a few megabytes of it, though slower on a small picture's
// finer codes: a band is read by ours, and a whole picture past this many
// pixels.
constexpr qint64 LosslessFrameLimit = qint64(32) << 20;

bool readsLosslessInRows(const LosslessWebpDecoder& lossless, bool whole)
{
    const QSize size = lossless.size();
    return lossless.isValid() && pictureSizeAllowed(size.width(), size.height()) &&
           (!whole || qint64(size.width()) * size.height() > LosslessFrameLimit);
}

// Block means of `*band` at 1/denom of a lossless WebP, read row by row.
QImage decodeLosslessBand(const LosslessWebpDecoder& lossless, QRect* band, int denom, int fd)
{
    const QSize stored = lossless.size();
    BlockMeans means(stored, band, denom, lossless.hasAlpha(), false);
    if (means.image.isNull())
        return QImage();
    const int from = band->left() * denom, to = std::min((band->right() + 1) * denom, stored.width());
    std::vector<std::uint8_t> rgba(std::size_t(to - from) * 4);
    lossless.decodeRows([&](int y, const std::uint32_t* argb) {
        if (y < means.firstRow())
            return true;
        std::uint8_t* p = rgba.data();
        for (int x = from; x < to; ++x, p += 4) {
            const std::uint32_t c = argb[x];
            p[0] = std::uint8_t(c >> 16);
            p[1] = std::uint8_t(c >> 8);
            p[2] = std::uint8_t(c);
            p[3] = std::uint8_t(c >> 24);
        }
        means.take(y, rgba.data(), from);
        return !means.done();
    }, fd);
    return means.done() ? means.image : QImage();
}

QSize webpSize(const QByteArray& data)
{
    int width = 0, height = 0;
    if (!WebPGetInfo(reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size()),
                     &width, &height))
        return QSize();
    return QSize(width, height);
}

} // namespace

QImage decodeWebpBand(const QByteArray& data, QRect* band, int denom, int fd)
{
    const QSize stored = webpSize(data);
    denom = std::max(denom, 1);
    *band = band->intersected(QRect(QPoint(), scaledDown(stored, denom)));
    const QRect crop =
        QRect(band->topLeft() * denom, band->size() * denom).intersected(QRect(QPoint(), stored));
    QImage image;
    if (const LosslessWebpDecoder lossless(data); !band->isEmpty() && readsLosslessInRows(lossless, false))
        image = decodeLosslessBand(lossless, band, denom, fd);
    else if (!band->isEmpty())
        image = decodeWebp(data, crop, band->size());
    if (image.isNull())
        *band = QRect();
    return image;
}

QImage decodeWebpCovering(const QByteArray& data, QSize atLeast, int fd)
{
    const QSize stored = webpSize(data);
    if (stored.isEmpty() || atLeast.isEmpty())
        return QImage();
    const QSize out = stored.scaled(atLeast, Qt::KeepAspectRatioByExpanding).expandedTo(QSize(1, 1));
    if (out.width() >= stored.width() || out.height() >= stored.height())
        return QImage(); // nothing to gain: the whole decode
    if (const LosslessWebpDecoder lossless(data); readsLosslessInRows(lossless, true)) {
        // The largest blocks that still cover `out`: the caller scales them.
        const int denom = std::max(1, std::min(stored.width() / out.width(), stored.height() / out.height()));
        QRect all(QPoint(), scaledDown(stored, denom));
        return decodeLosslessBand(lossless, &all, denom, fd);
    }
    return decodeWebp(data, QRect(QPoint(), stored), out);
}
