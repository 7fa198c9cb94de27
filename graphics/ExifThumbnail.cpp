#include "graphics/ExifThumbnail.h"

#include "core/Errors.h"
#include "graphics/ExifMetadata.h"
#include "graphics/JpegCodec.h"
#include "graphics/Orientation.h"
#include "graphics/Picture.h"

namespace {

// Up to four evenly spread indices of [from, to), or the nearest one.
std::vector<int> samplesOf(int from, int to)
{
    const int span = to - from;
    if (span <= 1)
        return {from};
    const int n = std::min(4, span);
    std::vector<int> s;
    for (int i = 0; i < n; ++i)
        s.push_back(from + (2 * i + 1) * span / (2 * n));
    return s;
}

std::vector<int> spanSamples(int index, int source, int target)
{
    const int from = int(qint64(index) * source / target);
    return samplesOf(from, std::max(from + 1, int(qint64(index + 1) * source / target)));
}

} // namespace

QByteArray encodeExifThumbnail(const Bitmap24& pixels, qsizetype budget)
{
    if (pixels.isEmpty())
        return QByteArray();
    for (const int quality : {75, 60, 40}) {
        const QByteArray jpeg = encodeJpeg(pixels, quality, JpegMetadata{false, {}});
        if (jpeg.size() <= budget)
            return jpeg;
    }
    return QByteArray();
}

std::function<QByteArray(qsizetype)> turnedExifThumbnail(const QByteArray& exif, int orientation)
{
    const QByteArray old = exifThumbnail(exif);
    if (old.isEmpty())
        return nullptr;
    return [old, orientation](qsizetype budget) {
        try {
            return encodeExifThumbnail(orientBitmap(decodeJpeg(old), orientation), budget);
        } catch (const AppError&) {
            return QByteArray(); // a thumbnail that won't decode goes
        }
    };
}

QSize newThumbnailSize(const QByteArray& exif, QSize size, int orientation)
{
    const QByteArray old = exifThumbnail(exif);
    if (old.isEmpty() || size.isEmpty())
        return QSize();
    try {
        const JpegInfo info = readJpegHeader(old);
        const QSize box = orientedSize(QSize(info.width, info.height), orientation);
        return size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    } catch (const AppError&) {
        return QSize();
    }
}

ThumbnailSampler::ThumbnailSampler(QSize picture, QSize thumbnail)
{
    if (picture.isEmpty() || thumbnail.isEmpty())
        return;
    m_size = thumbnail;
    m_rowTargets.resize(std::size_t(picture.height()));
    m_rowSamples.resize(std::size_t(thumbnail.height()));
    for (int y = 0; y < thumbnail.height(); ++y) {
        const std::vector<int> rows = spanSamples(y, picture.height(), thumbnail.height());
        m_rowSamples[std::size_t(y)] = int(rows.size());
        for (const int r : rows)
            m_rowTargets[std::size_t(r)].push_back(y);
    }
    for (int x = 0; x < thumbnail.width(); ++x)
        m_columns.push_back(spanSamples(x, picture.width(), thumbnail.width()));
    m_sums.assign(std::size_t(thumbnail.width()) * std::size_t(thumbnail.height()) * 3, 0);
}

void ThumbnailSampler::addRows(int y, const std::uint8_t* rows, std::ptrdiff_t stride, int n)
{
    if (isNull())
        return;
    for (int i = 0; i < n; ++i) {
        const std::uint8_t* row = rows + i * stride;
        for (const int target : m_rowTargets[std::size_t(y + i)]) {
            std::uint32_t* sum = m_sums.data() + std::size_t(target) * std::size_t(m_size.width()) * 3;
            for (const std::vector<int>& columns : m_columns) {
                for (const int c : columns) {
                    sum[0] += row[3 * c];
                    sum[1] += row[3 * c + 1];
                    sum[2] += row[3 * c + 2];
                }
                sum += 3;
            }
        }
    }
}

Bitmap24 ThumbnailSampler::result() const
{
    if (isNull())
        return Bitmap24();
    Bitmap24 out(m_size.width(), m_size.height());
    for (int y = 0; y < m_size.height(); ++y) {
        const std::uint32_t* sum = m_sums.data() + std::size_t(y) * std::size_t(m_size.width()) * 3;
        std::uint8_t* p = out.scanLine(y);
        for (int x = 0; x < m_size.width(); ++x) {
            const std::uint32_t count =
                std::uint32_t(m_rowSamples[std::size_t(y)] * m_columns[std::size_t(x)].size());
            for (int k = 0; k < 3; ++k)
                p[3 * x + k] = std::uint8_t((sum[3 * x + k] + count / 2) / count);
        }
    }
    return out;
}

QImage fittedExifThumbnail(const Picture& jpeg, QSize box, bool displayColors)
{
    try {
        const QByteArray thumbnail = exifThumbnail(readJpegHeader(jpeg.data()).exif);
        if (thumbnail.isEmpty())
            return QImage();
        PictureDamage damage = PictureDamage::None;
        const Bitmap24 upright = orientBitmap(decodeJpeg(thumbnail, 1, nullptr, &damage), jpeg.orientation());
        const QSize own(upright.width(), upright.height());
        const QSize whole = jpeg.size().scaled(own, Qt::KeepAspectRatio);
        const QSize fitted = jpeg.size().scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        if (damage != PictureDamage::None || std::abs(whole.width() - own.width()) > 1 ||
            std::abs(whole.height() - own.height()) > 1 || own.width() < fitted.width() ||
            own.height() < fitted.height())
            return QImage();
        const QImage shown = displayColors ? jpeg.inDisplayColors(upright.toImage()) : upright.toImage();
        return shown.size() == fitted ? shown
                                      : shown.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } catch (const AppError&) {
        return QImage(); // the header runs past the bytes, or the thumbnail is no JPEG
    }
}
