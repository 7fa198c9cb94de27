#include "graphics/PictureFormat.h"

#include "core/Errors.h"
#include "core/RegularFile.h"

#include <QFileInfo>

#include <cstring>

namespace {

template <std::size_t N> bool startsWith(const QByteArray& head, const char (&magic)[N], qsizetype at = 0)
{
    // The literal's own length: magic numbers may hold NUL bytes.
    const qsizetype n = qsizetype(N - 1);
    return head.size() >= at + n && std::memcmp(head.constData() + at, magic, std::size_t(n)) == 0;
}

// An ISO media file's brands (major first): "heic", "mif1", "avif"...
QList<QByteArray> ftypBrands(const QByteArray& head)
{
    QList<QByteArray> brands;
    if (!startsWith(head, "ftyp", 4) || head.size() < 12)
        return brands;
    const auto* p = reinterpret_cast<const unsigned char*>(head.constData());
    const qsizetype boxSize = qsizetype(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    const qsizetype end = std::min(head.size(), boxSize);
    brands << head.mid(8, 4);
    for (qsizetype at = 16; at + 4 <= end; at += 4)
        brands << head.mid(at, 4);
    return brands;
}

PictureFormat isoFormat(const QByteArray& head)
{
    const QList<QByteArray> brands = ftypBrands(head);
    if (brands.contains("crx "))
        return PictureFormat::CameraRaw; // Canon's CR3
    for (const QByteArray& b : brands) {
        if (b == "avif" || b == "avis")
            return PictureFormat::Avif;
    }
    for (const QByteArray& b : brands) {
        if (b == "heic" || b == "heix" || b == "heim" || b == "heis" || b == "hevc" || b == "hevx" ||
            b == "hevm" || b == "hevs" || b == "mif1" || b == "msf1" || b == "mif2")
            return PictureFormat::Heif;
    }
    return PictureFormat::Unknown;
}

PictureFormat formatOfSuffix(const QString& suffix)
{
    for (const PictureKind& k : pictureKinds()) {
        if (k.suffixes.contains(suffix))
            return k.format;
    }
    return PictureFormat::Unknown;
}

QString patterns(const QStringList& suffixes)
{
    QStringList out;
    for (const QString& s : suffixes)
        out << QStringLiteral("*.") + s;
    return out.join(QLatin1Char(';'));
}

// Camera RAW files whose first bytes say so; most others are TIFF
// structures that only their name tells apart (see pictureFormatOf below).
bool startsLikeCameraRaw(const QByteArray& head)
{
    return (startsWith(head, "II*\0") && startsWith(head, "CR", 8)) || // CR2
           startsWith(head, "II\x1A\0\0\0HEAPCCDR") ||                // CRW
           startsWith(head, "IIU\0") ||                                 // RW2, RWL
           startsWith(head, "IIRO") || startsWith(head, "IIRS") || startsWith(head, "MMOR") || // ORF
           startsWith(head, "FUJIFILMCCD-RAW") || startsWith(head, "FOVb") ||              // RAF, X3F
           startsWith(head, "\0MRM");                                                     // MRW
}

// An XML document: SVG is the only kind of them read.
bool startsLikeSvg(const QByteArray& head)
{
    QByteArray text = head.startsWith("\xEF\xBB\xBF") ? head.mid(3) : head;
    text = text.trimmed();
    return text.startsWith("<?xml") || text.startsWith("<svg") || text.startsWith("<!DOCTYPE svg") ||
           (text.startsWith("<!--") && text.contains("<svg"));
}

bool isCameraRawSuffix(const QString& suffix)
{
    for (const PictureKind& k : pictureKinds()) {
        if (k.format == PictureFormat::CameraRaw)
            return k.suffixes.contains(suffix);
    }
    return false;
}

} // namespace

PictureFormat pictureFormatOf(const QByteArray& head)
{
    if (startsWith(head, "\xFF\xD8\xFF"))
        return PictureFormat::Jpeg;
    if (startsLikeCameraRaw(head))
        return PictureFormat::CameraRaw;
    // A bare codestream, or the ISO container's signature box.
    if (startsWith(head, "\xFF\x0A") || startsWith(head, "\0\0\0\x0CJXL \r\n\x87\n"))
        return PictureFormat::JpegXl;
    if (startsLikeSvg(head))
        return PictureFormat::Svg;
    if (startsWith(head, "\x89PNG\r\n\x1A\n"))
        return PictureFormat::Png;
    if (startsWith(head, "GIF87a") || startsWith(head, "GIF89a"))
        return PictureFormat::Gif;
    if (startsWith(head, "RIFF") && startsWith(head, "WEBP", 8))
        return PictureFormat::WebP;
    if (startsWith(head, "II*") || startsWith(head, "MM") || startsWith(head, "II+")) {
        // The version word: 42 for TIFF, 43 for BigTIFF.
        const bool little = head.startsWith("II");
        if (head.size() >= 4) {
            const int version =
                little ? uchar(head[2]) | uchar(head[3]) << 8 : uchar(head[2]) << 8 | uchar(head[3]);
            if (version == 42 || version == 43)
                return PictureFormat::Tiff;
        }
    }
    if (startsWith(head, "BM"))
        return PictureFormat::Bitmap;
    if (const PictureFormat iso = isoFormat(head); iso != PictureFormat::Unknown)
        return iso;
    // Reserved 0, type 1 (icon), at least one image.
    if (head.size() >= 6 && startsWith(head, "\0\0\1\0") && (uchar(head[4]) | uchar(head[5])) != 0)
        return PictureFormat::Icon;
    return PictureFormat::Unknown;
}

PictureFormat pictureFormatOfFile(const QString& path)
{
    return pictureFormatOf(RegularFile(path).readHead(PictureFormatHeadBytes), path);
}

PictureFormat pictureFormatOf(const QByteArray& head, const QString& path)
{
    const PictureFormat byContent = pictureFormatOf(head);
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString suffix = dot < 0 ? QString() : name.mid(dot + 1).toLower();
    // NEF, ARW, DNG, PEF... are TIFF structures that only their name sets apart.
    if (byContent == PictureFormat::Tiff && isCameraRawSuffix(suffix))
        return PictureFormat::CameraRaw;
    if (byContent != PictureFormat::Unknown)
        return byContent;
    const PictureFormat byName = formatOfSuffix(suffix);
    if (byName == PictureFormat::Unknown)
        throw AppError(msg::pictureKindUnknown(path, suffix));
    return byName;
}

bool pictureFormatWritable(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Jpeg:
    case PictureFormat::Bitmap:
    case PictureFormat::Png:
    case PictureFormat::Tiff:
        return true;
    default:
        return false;
    }
}

bool leanLoadersAnswer(LoaderTask task, PictureFormat format, PictureFormat alsoRead)
{
    if (format != PictureFormat::Unknown && format == alsoRead)
        return true;
    // Only the kinds written back are rewritten, only JPEG's rows are read.
    if (task == LoaderTask::Rewrite || task == LoaderTask::Rows)
        return true;
    // Animated WebP plays through libwebpdemux.
    if (task == LoaderTask::Frame)
        return format == PictureFormat::Gif || format == PictureFormat::Png;
    switch (format) {
    case PictureFormat::Unknown:
    case PictureFormat::Jpeg:
    case PictureFormat::Bitmap:
    case PictureFormat::Png:
    case PictureFormat::Gif:
    case PictureFormat::WebP:
    case PictureFormat::Tiff:
    case PictureFormat::Icon:
        return true;
    default:
        return false;
    }
}

QByteArray qtFormatName(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Png:
        return "png";
    case PictureFormat::Gif:
        return "gif";
    case PictureFormat::WebP:
        return "webp";
    case PictureFormat::Tiff:
        return "tiff";
    case PictureFormat::Icon:
        return "ico";
    case PictureFormat::Svg:
        return "svg";
    default:
        return QByteArray();
    }
}

const std::vector<PictureKind>& pictureKinds()
{
    static const std::vector<PictureKind> kinds = {
        {PictureFormat::Jpeg, "JPEG", {"jpg", "jpeg", "jpe"}},
        {PictureFormat::Bitmap, "Bitmaps", {"bmp"}},
        {PictureFormat::Png, "PNG", {"png"}},
        {PictureFormat::Gif, "GIF", {"gif"}},
        {PictureFormat::WebP, "WebP", {"webp"}},
        {PictureFormat::Tiff, "TIFF", {"tif", "tiff"}},
        {PictureFormat::Heif, "HEIC/HEIF", {"heic", "heif", "hif"}},
        {PictureFormat::Avif, "AVIF", {"avif"}},
        {PictureFormat::Icon, "Icons", {"ico"}},
        {PictureFormat::CameraRaw,
         "RAW",
         {"cr2", "cr3", "crw", "nef", "nrw", "arw", "sr2", "srf", "dng", "orf", "rw2", "rwl", "raf", "pef",
          "srw", "kdc", "dcr", "mrw", "x3f", "3fr", "erf", "mef", "mos", "iiq"}},
        {PictureFormat::JpegXl, "JPEG XL", {"jxl"}},
        {PictureFormat::Svg, "SVG", {"svg"}},
    };
    return kinds;
}

QString pictureOpenFilter(const QString& allPictures)
{
    QStringList every;
    for (const PictureKind& k : pictureKinds())
        every << k.suffixes;
    QStringList entries{allPictures, patterns(every)};
    for (const PictureKind& k : pictureKinds())
        entries << QString::fromLatin1(k.name) << patterns(k.suffixes);
    return entries.join(QLatin1Char('|'));
}

bool hasPictureSuffix(const QString& path)
{
    return formatOfSuffix(QFileInfo(path).suffix().toLower()) != PictureFormat::Unknown;
}
