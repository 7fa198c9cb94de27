#include "graphics/JpegSegments.h"

#include <QRegularExpression>

#include <cstring>
#include <functional>

namespace {

constexpr int App0 = 0xE0, App1 = 0xE1, App2 = 0xE2, App13 = 0xED, App14 = 0xEE, Com = 0xFE;
constexpr char ExifTag[] = "Exif\0";                      // with its terminator: "Exif\0\0"
constexpr char XmpTag[] = "http://ns.adobe.com/xap/1.0/"; // with its terminator
constexpr char IccTag[] = "ICC_PROFILE";

bool startsWith(const QByteArray& payload, const char* tag, std::size_t length)
{
    return std::size_t(payload.size()) >= length && std::memcmp(payload.constData(), tag, length) == 0;
}

bool isExif(const JpegSegment& s)
{
    return s.marker == App1 && startsWith(s.payload, ExifTag, sizeof ExifTag);
}

bool isXmp(const JpegSegment& s)
{
    return s.marker == App1 && startsWith(s.payload, XmpTag, sizeof XmpTag);
}

bool isIcc(const JpegSegment& s)
{
    return s.marker == App2 && startsWith(s.payload, IccTag, sizeof IccTag);
}

int lengthAt(const QByteArray& jpeg, qsizetype at)
{
    return (uchar(jpeg[at]) << 8) | uchar(jpeg[at + 1]);
}

// Calls `visit(marker, start, end)` for each segment before the first scan
// (start: its marker's FF, end: past its payload). False when the markers
// can't be followed that far.
bool walkSegments(const QByteArray& jpeg, const std::function<void(int, qsizetype, qsizetype)>& visit)
{
    if (jpeg.size() < 4 || uchar(jpeg[0]) != 0xFF || uchar(jpeg[1]) != 0xD8)
        return false;
    qsizetype at = 2;
    while (at + 4 <= jpeg.size()) {
        if (uchar(jpeg[at]) != 0xFF)
            return false;
        const int marker = uchar(jpeg[at + 1]);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            return true;
        const int length = lengthAt(jpeg, at + 2);
        if (length < 2 || at + 2 + length > jpeg.size())
            return false;
        visit(marker, at, at + 2 + length);
        at += 2 + length;
    }
    return false;
}

QByteArray segmentBytes(int marker, const QByteArray& payload)
{
    const int n = int(payload.size()) + 2;
    return QByteArray("\xFF") + char(marker) + char(n >> 8) + char(n & 0xFF) + payload;
}

bool isJfif(const JpegSegment& s)
{
    return s.marker == App0 && startsWith(s.payload, "JFIF", 5);
}

bool isPhotoshop(const JpegSegment& s)
{
    return s.marker == App13 && startsWith(s.payload, "Photoshop 3.0", 14);
}

// JFIF's densities (X at 8, Y at 10) trade places.
QByteArray jfifTurned(QByteArray jfif)
{
    if (jfif.size() >= 12) {
        std::swap(jfif[8], jfif[10]);
        std::swap(jfif[9], jfif[11]);
    }
    return jfif;
}

// The JFIF header as it was, less its thumbnail, which no longer matches.
QByteArray withoutJfifThumbnail(QByteArray jfif, bool quarterTurn)
{
    if (jfif.size() >= 14) {
        jfif.truncate(14);
        jfif[12] = 0;
        jfif[13] = 0;
    }
    return quarterTurn ? jfifTurned(jfif) : jfif;
}

// Photoshop's resource blocks ("8BIM", id, padded name, size, data): its
// resolution record (0x03ED) keeps horizontal then vertical, each a 16.16
// value and two unit words; they trade places.
QByteArray photoshopTurned(QByteArray irb)
{
    qsizetype at = 14;
    while (at + 12 <= irb.size() && irb.mid(at, 4) == "8BIM") {
        const int id = uchar(irb[at + 4]) << 8 | uchar(irb[at + 5]);
        const int nameLength = uchar(irb[at + 6]);
        const qsizetype sizeAt = at + 6 + ((nameLength + 2) & ~1);
        if (sizeAt + 4 > irb.size())
            break;
        const quint32 size = quint32(uchar(irb[sizeAt])) << 24 | uchar(irb[sizeAt + 1]) << 16 |
                             uchar(irb[sizeAt + 2]) << 8 | uchar(irb[sizeAt + 3]);
        const qsizetype data = sizeAt + 4;
        if (size > quint32(irb.size() - data))
            break;
        if (id == 0x03ED && size >= 16) {
            const QByteArray horizontal = irb.mid(data, 8);
            irb.replace(data, 8, irb.mid(data + 8, 8));
            irb.replace(data + 8, 8, horizontal);
        }
        at = data + qsizetype((size + 1) & ~1u);
    }
    return irb;
}

QString withNumber(QString text, const QString& property, int value)
{
    const QString name = QRegularExpression::escape(property);
    // As an attribute, tiff:Orientation="6", or as an element.
    const QRegularExpression attribute(QStringLiteral("(\\b%1\\s*=\\s*[\"'])\\s*\\d+\\s*([\"'])").arg(name));
    const QRegularExpression element(QStringLiteral("(<%1>)\\s*\\d+\\s*(</%1>)").arg(name));
    const QString replacement = QStringLiteral("\\1%1\\2").arg(value);
    text.replace(attribute, replacement);
    text.replace(element, replacement);
    return text;
}

// tiff:XResolution and tiff:YResolution trade values, as attributes or
// elements ("300/1").
QString withResolutionsSwapped(QString text)
{
    const QString value = QStringLiteral("([\\d./]+)");
    const QRegularExpression x(QStringLiteral("(\\btiff:XResolution\\s*=\\s*[\"']|<tiff:XResolution>)\\s*%1").arg(value));
    const QRegularExpression y(QStringLiteral("(\\btiff:YResolution\\s*=\\s*[\"']|<tiff:YResolution>)\\s*%1").arg(value));
    const QRegularExpressionMatch mx = x.match(text), my = y.match(text);
    if (!mx.hasMatch() || !my.hasMatch())
        return text;
    // The later one first, so the earlier one's place still holds.
    const bool xFirst = mx.capturedStart(2) < my.capturedStart(2);
    const QRegularExpressionMatch& later = xFirst ? my : mx;
    const QRegularExpressionMatch& earlier = xFirst ? mx : my;
    const QString laterValue = later.captured(2), earlierValue = earlier.captured(2);
    text.replace(later.capturedStart(2), later.capturedLength(2), earlierValue);
    text.replace(earlier.capturedStart(2), earlier.capturedLength(2), laterValue);
    return text;
}

} // namespace

QList<JpegSegment> readJpegSegments(const QByteArray& jpeg)
{
    QList<JpegSegment> found;
    walkSegments(jpeg, [&](int marker, qsizetype start, qsizetype end) {
        if ((marker >= App0 && marker <= 0xEF) || marker == Com)
            found.append({marker, jpeg.mid(start + 4, end - start - 4)});
    });
    return found;
}

QByteArray segmentPayload(const QList<JpegSegment>& segments, int marker, QByteArrayView tag)
{
    for (const JpegSegment& s : segments) {
        if (s.marker == marker && s.payload.startsWith(tag))
            return s.payload;
    }
    return QByteArray();
}

QByteArray editXmp(const QByteArray& payload, bool resetOrientation, QSize size, bool swapResolution)
{
    // Latin-1 keeps every byte as it was, whatever the packet's encoding.
    QString text = QString::fromLatin1(payload);
    if (swapResolution)
        text = withResolutionsSwapped(text);
    if (resetOrientation)
        text = withNumber(text, QStringLiteral("tiff:Orientation"), 1);
    if (size.isValid()) {
        text = withNumber(text, QStringLiteral("tiff:ImageWidth"), size.width());
        text = withNumber(text, QStringLiteral("tiff:ImageLength"), size.height());
        text = withNumber(text, QStringLiteral("exif:PixelXDimension"), size.width());
        text = withNumber(text, QStringLiteral("exif:PixelYDimension"), size.height());
    }
    const QByteArray edited = text.toLatin1();
    return edited.size() <= 65533 ? edited : payload;
}

QList<JpegSegment> keptSegments(const QList<JpegSegment>& source, const MetadataChanges& changes,
                                const JpegEncoding& encoding)
{
    QList<JpegSegment> kept;
    bool exifSeen = false;
    // A profile is kept for the colour model the new file is coded in.
    const QByteArray space = encoding.components == 1 ? "GRAY" : encoding.cmyk() ? "CMYK" : "RGB ";
    bool matchingProfile = false;
    for (const JpegSegment& s : source) {
        if (isIcc(s)) {
            matchingProfile = s.payload.mid(14 + 16, 4) == space;
            break;
        }
    }
    for (const JpegSegment& s : source) {
        if (isJfif(s))
            kept.append({s.marker, withoutJfifThumbnail(s.payload, changes.swapResolution)});
        else if ((s.marker == App0 && startsWith(s.payload, "JFXX", 5)) ||
                 (s.marker == App14 && startsWith(s.payload, "Adobe", 5)) || (isIcc(s) && !matchingProfile))
            continue;
        else if (isExif(s) && !exifSeen) {
            exifSeen = true;
            kept.append({s.marker, editExif(s.payload, changes)});
        } else if (isXmp(s))
            kept.append({s.marker, editXmp(s.payload, changes.resetOrientation, changes.size, changes.swapResolution)});
        else if (isPhotoshop(s) && changes.swapResolution)
            kept.append({s.marker, photoshopTurned(s.payload)});
        else
            kept.append(s);
    }
    return kept;
}

QByteArray editJpegMetadata(const QByteArray& jpeg, const MetadataChanges& changes)
{
    QByteArray out;
    qsizetype copied = 0;
    bool exifSeen = false;
    const bool followed = walkSegments(jpeg, [&](int marker, qsizetype start, qsizetype end) {
        const JpegSegment s{marker, jpeg.mid(start + 4, end - start - 4)};
        QByteArray payload;
        if (isExif(s) && !exifSeen) {
            exifSeen = true;
            payload = editExif(s.payload, changes);
        } else if (isXmp(s)) {
            payload = editXmp(s.payload, changes.resetOrientation, changes.size, changes.swapResolution);
        } else if (isJfif(s) && changes.swapResolution) {
            payload = jfifTurned(s.payload);
        } else if (isPhotoshop(s) && changes.swapResolution) {
            payload = photoshopTurned(s.payload);
        } else {
            return;
        }
        out.append(QByteArrayView(jpeg).sliced(copied, start - copied));
        out.append(segmentBytes(marker, payload));
        copied = end;
    });
    if (!followed)
        return jpeg;
    return out.append(QByteArrayView(jpeg).sliced(copied));
}
