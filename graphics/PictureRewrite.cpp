#include "graphics/PictureRewrite.h"

#include "core/Errors.h"
#include "graphics/PngChunks.h"
#include "graphics/TiffRewrite.h"
#include "graphics/TiffStructure.h"

#include <QBuffer>
#include <QImageWriter>
#include <QTransform>

#include <QtEndian>

namespace {

QByteArray encoded(const QImage& image, const char* format, int compression = -1)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (compression >= 0)
        writer.setCompression(compression);
    if (!writer.write(image))
        throw AppError(msg::pictureNotValid(writer.errorString()));
    return out;
}

// Pixels only: what a file says besides them is spliced in from the file.
QImage bare(QImage image)
{
    image.setColorSpace(QColorSpace());
    for (const QString& key : image.textKeys())
        image.setText(key, QString());
    return image;
}

// The effect's pixels, with `original`'s alpha where it fits them.
QImage withAlphaOf(const Bitmap24& pixels, const QImage& original)
{
    QImage rgb = pixels.toImage();
    if (!original.hasAlphaChannel() || original.size() != rgb.size())
        return rgb;
    QImage out = rgb.convertToFormat(QImage::Format_ARGB32);
    const QImage alpha = original.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        const auto* a = reinterpret_cast<const QRgb*>(alpha.constScanLine(y));
        for (int x = 0; x < out.width(); ++x)
            o[x] = (o[x] & 0x00FFFFFFu) | (a[x] & 0xFF000000u);
    }
    return out;
}

QByteArray swappedPhys(const QByteArray& phys)
{
    if (phys.size() != 9)
        return phys;
    return phys.mid(4, 4) + phys.mid(0, 4) + phys.mid(8);
}

bool beforePalette(const QByteArray& type)
{
    return type == "iCCP" || type == "sRGB" || type == "gAMA" || type == "cHRM" || type == "sBIT" ||
           type == "cICP" || type == "mDCv" || type == "cLLi";
}

// Chunks that describe the old pixel layout only where it is kept.
bool layoutBound(const QByteArray& type)
{
    return type == "bKGD" || type == "hIST" || type == "sBIT";
}

QByteArray splicedPng(const QList<PngChunk>& original, const QByteArray& pixelsPng, bool quarterTurn,
                      bool resetOrientation, QSize size)
{
    const QList<PngChunk> fresh = pngChunks(pixelsPng);
    const bool sameLayout =
        pngChunkData(fresh, "IHDR").mid(8, 2) == pngChunkData(original, "IHDR").mid(8, 2) &&
        pngChunkData(fresh, "PLTE") == pngChunkData(original, "PLTE");
    QList<PngChunk> head, middle, tail;
    bool seenPalette = false, seenData = false;
    for (PngChunk c : original) {
        if (c.type == "IDAT")
            seenData = true;
        if (c.type == "PLTE")
            seenPalette = true;
        if (c.type == "IHDR" || c.type == "PLTE" || c.type == "tRNS" || c.type == "IDAT" || c.type == "IEND")
            continue;
        if (layoutBound(c.type) && !sameLayout)
            continue;
        if (c.type == "pHYs" && quarterTurn)
            c.data = swappedPhys(c.data);
        if (c.type == "eXIf")
            c.data = exifForNewPixels(c.data, size, resetOrientation, quarterTurn);
        (seenData ? tail : (seenPalette || !beforePalette(c.type) ? middle : head)).append(c);
    }
    QList<PngChunk> out{fresh.first()};
    out << head;
    for (const PngChunk& c : fresh) {
        if (c.type == "PLTE" || c.type == "tRNS")
            out << c;
    }
    out << middle;
    for (const PngChunk& c : fresh) {
        if (c.type == "IDAT")
            out << c;
    }
    out << tail << PngChunk{"IEND", QByteArray()};
    return pngFile(out);
}

QByteArray rewritten(const Picture& picture, const QImage& pixels, bool quarterTurn)
{
    const bool reset = picture.exifOrientation() == ExifOrientation::Apply;
    if (picture.format() == PictureFormat::Tiff)
        return tiffWithPixels(picture.data(), pixels, quarterTurn, reset);
    if (!pictureRewritable(picture))
        throw AppError(msg::pictureNotValid(QStringLiteral("Its frames would be lost.")));
    return splicedPng(pngChunks(picture.data()), encoded(bare(pixels), "png"), quarterTurn, reset,
                      pixels.size());
}

} // namespace

bool pictureRewritable(const Picture& picture)
{
    switch (picture.format()) {
    case PictureFormat::Jpeg:
    case PictureFormat::Bitmap:
        return true;
    case PictureFormat::Png: {
        const QList<PngChunk> chunks = pngChunks(picture.data());
        return !chunks.isEmpty() && !pngIsAnimated(chunks);
    }
    case PictureFormat::Tiff:
        return tiffRewritable(picture.data());
    default:
        return false;
    }
}

bool pictureFilePassedBy(const QString& path)
{
    try {
        const PictureFormat format = pictureFormatOfFile(path);
        if (format == PictureFormat::Png || format == PictureFormat::Tiff)
            return !pictureRewritable(Picture::loadFromFile(path));
        return !pictureFormatWritable(format);
    } catch (const AppError&) {
        return false;
    }
}

QByteArray turnedPictureFile(const Picture& picture, int angle)
{
    const int quarter = ((angle / 90) % 4 + 4) % 4;
    const QImage shown = picture.toImage();
    return rewritten(picture, quarter == 0 ? shown : shown.transformed(QTransform().rotate(90 * quarter)),
                     quarter % 2 == 1);
}

QByteArray pictureFileWithPixels(const Picture& picture, const Bitmap24& pixels)
{
    return rewritten(picture, withAlphaOf(pixels, picture.toImage()), false);
}

QByteArray newPngFile(const Bitmap24& pixels, const Picture& source)
{
    QImage image = pixels.toImage();
    if (const QColorSpace space = source.colorSpace(); space.isValid())
        image.setColorSpace(space);
    return encoded(image, "png");
}
