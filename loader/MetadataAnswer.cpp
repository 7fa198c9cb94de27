#include "loader/MetadataAnswer.h"

#include "core/MetadataKeys.h"
#include "graphics/HeifPicture.h"
#include "graphics/JpegCodec.h"
#include "graphics/PluginPicture.h"
#include "graphics/TiffStructure.h"

#include <QColorSpace>

#include <cmath>
#include <functional>
#include <map>

namespace {

using Dir = TiffStructure::Directory;
constexpr quint16 TypeAscii = 2, TypeRational = 5, TypeUndefined = 7;
// A camera's text is a line or a paragraph; anything longer is no value to show.
constexpr qsizetype MaxTextBytes = 2000;

// The EXIF block's TIFF structure as the file's kind keeps it; empty for none.
QByteArray exifTiff(const QByteArray& bytes, PictureFormat format)
{
    switch (format) {
    case PictureFormat::Jpeg: {
        const QByteArray exif = readJpegHeader(bytes).exif;
        return exif.startsWith(QByteArray("Exif\0\0", 6)) ? exif.mid(6) : QByteArray();
    }
    case PictureFormat::Heif:
    case PictureFormat::Avif:
        return heifExif(bytes);
    case PictureFormat::Png:
    case PictureFormat::WebP:
        return readPluginPictureInfo(bytes, format).exif;
    case PictureFormat::Tiff:
        return bytes;
    default:
        return QByteArray();
    }
}

QByteArray text(const TiffStructure& t, Dir d, quint16 tag)
{
    const auto e = t.entry(d, tag);
    if (!e || e->type != TypeAscii || e->size > MaxTextBytes)
        return QByteArray();
    QByteArray v = t.value(*e);
    const qsizetype nul = v.indexOf('\0');
    if (nul >= 0)
        v.truncate(nul);
    return v.trimmed();
}

// A user comment: its 8 bytes name the character code; ASCII and
// undefined codes that hold plain text are read.
QByteArray userComment(const TiffStructure& t)
{
    const auto e = t.entry(Dir::Exif, 0x9286);
    if (!e || e->type != TypeUndefined || e->size <= 8 || e->size > MaxTextBytes)
        return QByteArray();
    const QByteArray v = t.value(*e);
    const QByteArray code = v.left(8);
    if (code != QByteArray("ASCII\0\0\0", 8) && code != QByteArray(8, '\0'))
        return QByteArray();
    QByteArray body = v.mid(8);
    const qsizetype nul = body.indexOf('\0');
    if (nul >= 0)
        body.truncate(nul);
    return body.trimmed();
}

std::optional<std::pair<quint32, quint32>> rational(const TiffStructure& t, Dir d, quint16 tag, int index = 0)
{
    const auto e = t.entry(d, tag);
    if (!e || e->type != TypeRational || e->count <= quint32(index))
        return std::nullopt;
    const qsizetype at = e->valueAt + qsizetype(index) * 8;
    const quint32 den = t.read32(at + 4);
    if (den == 0)
        return std::nullopt;
    return std::pair{t.read32(at), den};
}

QByteArray rationalText(const TiffStructure& t, Dir d, quint16 tag)
{
    const auto r = rational(t, d, tag);
    return r ? QByteArray::number(r->first) + '/' + QByteArray::number(r->second) : QByteArray();
}

QByteArray numberText(const TiffStructure& t, Dir d, quint16 tag)
{
    const auto n = t.number(d, tag);
    return n ? QByteArray::number(*n) : QByteArray();
}

// Degrees, minutes and seconds with their reference as signed degrees
// (south and west below zero).
QByteArray degrees(const TiffStructure& t, quint16 refTag, quint16 tag, char negative)
{
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
        const auto r = rational(t, Dir::Gps, tag, i);
        if (!r)
            return QByteArray();
        sum += double(r->first) / r->second / std::pow(60.0, i);
    }
    const QByteArray ref = text(t, Dir::Gps, refTag);
    if (sum > 180 || (ref != "N" && ref != "S" && ref != "E" && ref != "W"))
        return QByteArray();
    return QByteArray::number(ref[0] == negative ? -sum : sum, 'f', 10);
}

QByteArray altitude(const TiffStructure& t)
{
    const auto r = rational(t, Dir::Gps, 0x0006);
    if (!r)
        return QByteArray();
    const auto below = t.entry(Dir::Gps, 0x0005);
    const bool under = below && below->size >= 1 && t.bytes().at(below->valueAt) == 1;
    return QByteArray::number((under ? -1.0 : 1.0) * r->first / r->second, 'f', 7);
}

QByteArray dateTaken(const TiffStructure& t)
{
    for (quint16 tag : {quint16(0x9003), quint16(0x9004)}) {
        const QByteArray d = text(t, Dir::Exif, tag);
        // Cameras without a clock write blanks or zeros.
        if (d.size() >= 10 && !d.startsWith("0000"))
            return d;
    }
    return QByteArray();
}

QByteArray description(const TiffStructure& t)
{
    const QByteArray d = text(t, Dir::First, 0x010E);
    return d.isEmpty() ? userComment(t) : d;
}

using Reader = std::function<QByteArray(const TiffStructure&)>;

const std::map<QByteArray, Reader>& readers()
{
    namespace k = metadatakey;
    static const std::map<QByteArray, Reader> table{
        {k::DateTaken, dateTaken},
        {k::Make, [](const TiffStructure& t) { return text(t, Dir::First, 0x010F); }},
        {k::Model, [](const TiffStructure& t) { return text(t, Dir::First, 0x0110); }},
        {k::Lens, [](const TiffStructure& t) { return text(t, Dir::Exif, 0xA434); }},
        {k::ExposureTime, [](const TiffStructure& t) { return rationalText(t, Dir::Exif, 0x829A); }},
        {k::FNumber, [](const TiffStructure& t) { return rationalText(t, Dir::Exif, 0x829D); }},
        {k::Iso, [](const TiffStructure& t) { return numberText(t, Dir::Exif, 0x8827); }},
        {k::FocalLength, [](const TiffStructure& t) { return rationalText(t, Dir::Exif, 0x920A); }},
        {k::FocalLength35, [](const TiffStructure& t) { return numberText(t, Dir::Exif, 0xA405); }},
        {k::Flash, [](const TiffStructure& t) { return numberText(t, Dir::Exif, 0x9209); }},
        {k::Orientation, [](const TiffStructure& t) { return numberText(t, Dir::First, 0x0112); }},
        {k::Latitude, [](const TiffStructure& t) { return degrees(t, 0x0001, 0x0002, 'S'); }},
        {k::Longitude, [](const TiffStructure& t) { return degrees(t, 0x0003, 0x0004, 'W'); }},
        {k::Altitude, altitude},
        {k::Description, description},
    };
    return table;
}

} // namespace

QList<std::pair<QByteArray, QByteArray>> pictureMetadata(const Picture& picture, const QByteArray& bytes,
                                                         const QList<QByteArray>& keys)
{
    QList<std::pair<QByteArray, QByteArray>> values;
    QByteArray tiffBytes;
    try {
        tiffBytes = exifTiff(bytes, picture.format());
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        // A block that can't be read counts as absent; the picture's facts stand.
    }
    const TiffStructure tiff(tiffBytes);
    for (const QByteArray& key : keys) {
        QByteArray value;
        if (key == metadatakey::ColorProfile) {
            const QColorSpace space = picture.colorSpace();
            value = space.isValid() ? space.description().toUtf8().left(MaxTextBytes) : QByteArray();
        } else if (const auto it = readers().find(key); it != readers().end() && tiff.isValid()) {
            value = it->second(tiff);
        }
        if (!value.isEmpty())
            values.append({key, value});
    }
    return values;
}
