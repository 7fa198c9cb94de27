#include "graphics/PluginPicture.h"

#include "graphics/ContainerDamage.h"
#include "graphics/DecoderMessages.h"
#include "graphics/DisplayColors.h"
#include "graphics/PictureError.h"
#include "graphics/PictureLimits.h"
#include "graphics/PngChunks.h"
#include "graphics/PngCodec.h"
#include "graphics/TiffSamples.h"
#include "graphics/TiffStructure.h"
#include "graphics/WebpFirstFrame.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <zlib.h>

namespace {

// No ICC profile is this large; a larger claim is damage.
constexpr uLong MaxIccBytes = 4 << 20;

// Qt's plugins, their own allocation check set to the picture limit before
// they read a byte, and their words to standard error held back.
struct Reader {
    QuietDecoding quiet;
    QBuffer buffer;
    QImageReader reader;
    const QByteArray& data;
    PictureFormat format;
    Reader(const QByteArray& bytes, PictureFormat f) : data(bytes), format(f)
    {
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        reader.setFormat(qtFormatName(format));
        // Only the plugin of the kind told by content: with detection on, Qt
        // loads every plugin before it, asking each whether it reads the kind.
        reader.setAutoDetectImageFormat(false);
        reader.setAutoTransform(false);
        reader.setAllocationLimit(int(std::max<std::uint64_t>(pictureByteLimit() >> 20, 1)));
    }
    // What is wrong, in words: the plugins' own ("Unknown error") say nothing.
    [[noreturn]] void fail() const
    {
        const ContainerDamage c = containerDamage(data, format);
        throw PictureError::corrupt(c.damage == PictureDamage::None ? damageReason(PictureDamage::Corrupt) : c.reason);
    }
    QSize checkedSize()
    {
        // libtiff sets up a page's strips as its directory says before Qt
        // can ask its size: what the directory claims is checked first.
        if (format == PictureFormat::Tiff) {
            const TiffStructure tiff(data);
            const auto width = tiff.number(TiffStructure::Directory::First, tifftag::ImageWidth);
            const auto height = tiff.number(TiffStructure::Directory::First, tifftag::ImageLength);
            if (width && height)
                checkPictureSize(*width, *height);
        }
        const QSize size = reader.size();
        if (!size.isValid())
            fail();
        checkPictureSize(size.width(), size.height());
        return size;
    }
};

// iCCP: name, NUL, method 0, then the zlib-compressed profile.
QByteArray pngIcc(const QByteArray& iccp)
{
    const qsizetype nul = iccp.indexOf('\0');
    if (nul < 0 || nul + 2 > iccp.size())
        return QByteArray();
    const QByteArray packed = iccp.mid(nul + 2);
    QByteArray icc(qsizetype(MaxIccBytes), '\0');
    uLongf size = MaxIccBytes;
    if (uncompress(reinterpret_cast<Bytef*>(icc.data()), &size,
                   reinterpret_cast<const Bytef*>(packed.constData()), uLong(packed.size())) != Z_OK)
        return QByteArray();
    icc.truncate(qsizetype(size));
    return icc;
}

QPointF chromaticity(const QByteArray& chrm, int i)
{
    return QPointF(qFromBigEndian<quint32>(chrm.constData() + 8 * i) / 100000.0,
                   qFromBigEndian<quint32>(chrm.constData() + 8 * i + 4) / 100000.0);
}

// PNG's colour chunks as Qt's reader reads them, but with what only
// restates sRGB taken as sRGB. The profile comes in `icc`.
QColorSpace pngColorSpace(const QList<PngChunk>& chunks, QByteArray& icc)
{
    if (pngColourIsSrgb(chunks))
        return QColorSpace();
    if (const QByteArray iccp = pngChunkData(chunks, "iCCP"); !iccp.isEmpty()) {
        icc = pngIcc(iccp);
        return QColorSpace();
    }
    const QByteArray gama = pngChunkData(chunks, "gAMA");
    if (gama.size() != 4 || qFromBigEndian<quint32>(gama.constData()) == 0)
        return QColorSpace();
    const float gamma = 100000.0f / float(qFromBigEndian<quint32>(gama.constData()));
    const QByteArray chrm = pngChunkData(chunks, "cHRM");
    if (chrm.size() != 32)
        return QColorSpace(QColorSpace::Primaries::SRgb, gamma);
    return QColorSpace(chromaticity(chrm, 0), chromaticity(chrm, 1), chromaticity(chrm, 2),
                       chromaticity(chrm, 3), QColorSpace::TransferFunction::Gamma, gamma);
}

// WebP's RIFF chunks after "WEBP": four letters, little-endian size, data
// padded to an even length.
QByteArray webpChunk(const QByteArray& data, const char* type)
{
    for (qsizetype at = 12; at + 8 <= data.size();) {
        const quint32 size = qFromLittleEndian<quint32>(data.constData() + at + 4);
        if (size > quint32(data.size() - at - 8))
            break;
        if (data.mid(at, 4) == type)
            return data.mid(at + 8, qsizetype(size));
        at += 8 + qsizetype(size) + (size & 1);
    }
    return QByteArray();
}

QByteArray withoutExifMarker(const QByteArray& exif)
{
    return exif.startsWith(QByteArray("Exif\0\0", 6)) ? exif.mid(6) : exif;
}

// Photometric interpretation 5: inks, which Qt's plugin reads only at 8 bits.
bool tiffIsSeparated(const QByteArray& data)
{
    constexpr quint16 Photometric = 262, Separated = 5;
    return TiffStructure(data).number(TiffStructure::Directory::First, Photometric) == Separated;
}

} // namespace

PluginPictureInfo readPluginPictureInfo(const QByteArray& data, PictureFormat format)
{
    PluginPictureInfo info;
    if (format == PictureFormat::Png) {
        const PngHeader h = readPngHeader(data);
        info.size = QSize(h.width, h.height);
    } else {
        info.size = Reader(data, format).checkedSize();
    }
    QByteArray icc;
    switch (format) {
    case PictureFormat::Png: {
        const QList<PngChunk> chunks = pngChunks(data, false);
        info.exif = pngChunkData(chunks, "eXIf");
        info.colorSpace = pngColorSpace(chunks, icc);
        break;
    }
    case PictureFormat::WebP:
        info.exif = withoutExifMarker(webpChunk(data, "EXIF"));
        icc = webpChunk(data, "ICCP");
        break;
    case PictureFormat::Tiff: {
        info.exif = data;
        const TiffStructure tiff(data);
        if (const auto e = tiff.entry(TiffStructure::Directory::First, tifftag::IccProfile))
            icc = tiff.value(*e);
        break;
    }
    default:
        break;
    }
    const TiffStructure exif(info.exif);
    if (!exif.isValid())
        info.exif.clear();
    info.orientation = tiffOrientation(exif);
    if (!icc.isEmpty())
        info.colorSpace = colorSpaceOfIcc(icc);
    else if (!info.colorSpace.isValid() && tiffMarksAdobeRgb(exif))
        info.colorSpace = QColorSpace(QColorSpace::AdobeRgb);
    info.icc = !icc.isEmpty() || !needsConversion(info.colorSpace) ? icc : info.colorSpace.iccProfile();
    if (format == PictureFormat::Tiff)
        info.exif.clear(); // the file itself: nothing to carry apart
    return info;
}

QImage decodePluginPicture(const QByteArray& data, PictureFormat format, PictureDamage* damage)
{
    if (format == PictureFormat::Png)
        return decodePng(data, damage);
    // An animation's still: its first frame alone, where it covers the canvas.
    const QByteArray first = format == PictureFormat::WebP ? webpFirstFrame(data) : QByteArray();
    Reader r(first.isEmpty() ? data : first, format);
    r.checkedSize();
    QImage image = r.reader.read();
    if (image.isNull() && format == PictureFormat::Tiff && tiffIsSeparated(data))
        image = cmykTiffImage(data);
    if (image.isNull())
        r.fail();
    if (damage)
        *damage = containerDamage(data, format).damage;
    return image;
}
