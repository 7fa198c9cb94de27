#include "graphics/PictureError.h"

#include "graphics/PictureLimits.h"

namespace {
// The kind with its article, as "is not … picture" reads it.
QString kindWithArticle(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Jpeg:
        return QStringLiteral("a JPEG");
    case PictureFormat::Bitmap:
        return QStringLiteral("a BMP");
    case PictureFormat::Png:
        return QStringLiteral("a PNG");
    case PictureFormat::Gif:
        return QStringLiteral("a GIF");
    case PictureFormat::WebP:
        return QStringLiteral("a WebP");
    case PictureFormat::Tiff:
        return QStringLiteral("a TIFF");
    case PictureFormat::Heif:
        return QStringLiteral("a HEIF");
    case PictureFormat::Avif:
        return QStringLiteral("an AVIF");
    case PictureFormat::Icon:
        return QStringLiteral("an icon");
    case PictureFormat::Unknown:
        break;
    }
    return QStringLiteral("a");
}
} // namespace

PictureError::PictureError(Problem problem, const QString& detail, const QString& file)
    : AppError(textOf(problem, detail, file)), m_problem(problem), m_detail(detail), m_file(file)
{
}

PictureError PictureError::about(const QString& file) const
{
    return m_file.isEmpty() ? PictureError(m_problem, m_detail, file) : *this;
}

PictureError PictureError::notKind(PictureFormat format)
{
    return {Problem::NotThisKind, kindWithArticle(format)};
}

PictureError PictureError::tooLarge(qint64 width, qint64 height)
{
    const auto megapixels = qint64(pictureByteLimit() / 4 / 1000000);
    return {Problem::TooLarge, msg::pixelsOverLimit(width, height, megapixels)};
}

QString PictureError::textOf(Problem problem, const QString& detail, const QString& file)
{
    switch (problem) {
    case Problem::Damaged:
        return msg::pictureIsDamaged(file, detail);
    case Problem::NotThisKind:
        return msg::pictureIsNotKind(file, detail);
    case Problem::TooLarge:
        return msg::pictureIsTooLarge(file, detail);
    case Problem::Unreadable:
        return msg::pictureLayoutUnreadable(file, detail);
    case Problem::Unwritable:
        break;
    }
    return msg::pictureLayoutUnwritable(file, detail);
}
