#include "viewer/PictureInfo.h"

#include "core/MetadataKeys.h"
#include "graphics/PictureLoaders.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <cmath>

namespace {

namespace k = metadatakey;

// A rational "n/d" or a plain number; nothing for anything else.
std::optional<double> numberOf(const QString& text)
{
    bool ok = false;
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        const double v = text.toDouble(&ok);
        return ok && std::isfinite(v) ? std::optional(v) : std::nullopt;
    }
    bool ok2 = false;
    const double n = text.left(slash).toDouble(&ok), d = text.mid(slash + 1).toDouble(&ok2);
    return ok && ok2 && d != 0 ? std::optional(n / d) : std::nullopt;
}

// Up to `decimals` places, without trailing zeros.
QString shortNumber(double v, int decimals)
{
    QString s = QString::number(v, 'f', decimals);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    return s;
}

QString kindName(PictureFormat format)
{
    for (const PictureKind& kind : pictureKinds())
        if (kind.format == format)
            return QString::fromLatin1(kind.name);
    return QString();
}

} // namespace

QList<QByteArray> pictureInfoKeys()
{
    return {k::DateTaken, k::Make,        k::Model,         k::Lens,        k::ExposureTime, k::FNumber,
            k::Iso,       k::FocalLength, k::FocalLength35, k::Flash,       k::Orientation,  k::Latitude,
            k::Longitude, k::Altitude,    k::Description,   k::ColorProfile};
}

PictureInfo readPictureInfo(const QString& path)
{
    LoaderRequest request;
    request.task = LoaderTask::Metadata;
    request.keys = pictureInfoKeys();
    const LoaderAnswer answer = PictureLoaders::shared().ask(path, request);
    PictureInfo info;
    info.path = path;
    info.fileSize = QFileInfo(path).size();
    info.format = PictureFormat(answer.reply.format);
    info.size = answer.reply.size;
    for (const auto& [key, value] : answer.reply.values)
        info.values.insert(key, QString::fromUtf8(value));
    return info;
}

QString exposureText(const QString& seconds)
{
    const std::optional<double> s = numberOf(seconds);
    if (!s || *s <= 0)
        return QString();
    // Short times as the camera's dial shows them: 1/250 s.
    if (*s < 0.5)
        return QStringLiteral("1/%1 s").arg(std::lround(1 / *s));
    return shortNumber(*s, 1) + QStringLiteral(" s");
}

QString apertureText(const QString& fNumber)
{
    const std::optional<double> f = numberOf(fNumber);
    return f && *f > 0 ? QStringLiteral("f/") + shortNumber(*f, 1) : QString();
}

QString focalLengthText(const QString& mm, const QString& mm35)
{
    const std::optional<double> f = numberOf(mm), f35 = numberOf(mm35);
    if (!f || *f <= 0)
        return QString();
    QString text = shortNumber(*f, 2) + QStringLiteral(" mm");
    if (f35 && *f35 > 0)
        text += QStringLiteral(" (35 mm: %1 mm)").arg(shortNumber(*f35, 0));
    return text;
}

QString positionText(const QString& latitude, const QString& longitude, const QString& altitude)
{
    const std::optional<double> lat = numberOf(latitude), lon = numberOf(longitude);
    if (!lat || !lon || std::abs(*lat) > 90 || std::abs(*lon) > 180)
        return QString();
    const auto part = [](double v, char plus, char minus) {
        return QStringLiteral("%1° %2")
            .arg(QString::number(std::abs(v), 'f', 6))
            .arg(QLatin1Char(v < 0 ? minus : plus));
    };
    QString text = part(*lat, 'N', 'S') + QStringLiteral(", ") + part(*lon, 'E', 'W');
    if (const std::optional<double> alt = numberOf(altitude))
        text += QStringLiteral(", %1 m").arg(std::lround(*alt));
    return text;
}

QString dateTakenText(const QString& exifDate)
{
    // "YYYY:MM:DD HH:MM:SS": the date's colons become dashes.
    if (exifDate.size() < 10 || exifDate[4] != QLatin1Char(':') || exifDate[7] != QLatin1Char(':'))
        return exifDate;
    QString text = exifDate;
    text[4] = text[7] = QLatin1Char('-');
    return text;
}

QString cameraText(const QString& make, const QString& model)
{
    // Many models already begin with their maker's name.
    if (make.isEmpty() || model.startsWith(make, Qt::CaseInsensitive))
        return model;
    return model.isEmpty() ? make : make + QLatin1Char(' ') + model;
}

QString flashText(const QString& bits, const InfoWords& words)
{
    bool ok = false;
    const uint v = bits.toUInt(&ok);
    if (!ok)
        return QString();
    return v & 1 ? words.flashFired : words.flashNotFired;
}

QString orientationText(const QString& tag, const InfoWords& words)
{
    // How far the picture is turned clockwise to show upright, and whether it is mirrored.
    static const char* const turns[] = {"0°", "0°", "180°", "180°", "90° ↻", "90° ↻", "90° ↺", "90° ↺"};
    bool ok = false;
    const int v = tag.toInt(&ok);
    if (!ok || v < 1 || v > 8)
        return QString();
    QString text = QStringLiteral("%1 (%2").arg(v).arg(QString::fromUtf8(turns[v - 1]));
    if (v == 2 || v == 4 || v == 5 || v == 7)
        text += QStringLiteral(", ") + words.mirrored;
    return text + QLatin1Char(')');
}

std::array<QString, InfoFieldCount> pictureInfoTexts(const PictureInfo& info, const QString& comment,
                                                     const InfoWords& words)
{
    std::array<QString, InfoFieldCount> t;
    const auto v = [&](const char* key) { return info.values.value(key); };
    const auto at = [&](InfoField f) -> QString& { return t[std::size_t(f)]; };
    const QFileInfo file(info.path);
    at(InfoField::FileName) = file.fileName();
    at(InfoField::Folder) = QDir::toNativeSeparators(file.absolutePath());
    if (info.fileSize >= 0)
        at(InfoField::FileSize) = QStringLiteral("%1 (%2)").arg(QLocale().formattedDataSize(info.fileSize),
                                                                QLocale().toString(info.fileSize));
    at(InfoField::Kind) = kindName(info.format);
    if (!info.size.isEmpty())
        at(InfoField::PixelSize) = QStringLiteral("%1 × %2").arg(info.size.width()).arg(info.size.height());
    at(InfoField::ColorProfile) = v(k::ColorProfile);
    at(InfoField::DateTaken) = dateTakenText(v(k::DateTaken));
    at(InfoField::Camera) = cameraText(v(k::Make), v(k::Model));
    at(InfoField::Lens) = v(k::Lens);
    at(InfoField::Exposure) = exposureText(v(k::ExposureTime));
    at(InfoField::Aperture) = apertureText(v(k::FNumber));
    at(InfoField::Iso) = v(k::Iso);
    at(InfoField::FocalLength) = focalLengthText(v(k::FocalLength), v(k::FocalLength35));
    at(InfoField::Flash) = flashText(v(k::Flash), words);
    at(InfoField::Orientation) = orientationText(v(k::Orientation), words);
    at(InfoField::Position) = positionText(v(k::Latitude), v(k::Longitude), v(k::Altitude));
    // The collection's comment first; the file's own description where there is none.
    at(InfoField::Comment) = comment.trimmed().isEmpty() ? v(k::Description) : comment;
    return t;
}

std::optional<QUrl> pictureMapLink(const PictureInfo& info)
{
    const std::optional<double> lat = numberOf(info.values.value(k::Latitude)),
                                lon = numberOf(info.values.value(k::Longitude));
    if (!lat || !lon || std::abs(*lat) > 90 || std::abs(*lon) > 180)
        return std::nullopt;
    return QUrl(
        QStringLiteral("geo:%1,%2").arg(QString::number(*lat, 'f', 7), QString::number(*lon, 'f', 7)));
}
