#include "graphics/PictureRewrite.h"

#include "core/Errors.h"
#include "graphics/InkConversion.h"
#include "graphics/Orientation.h"
#include "graphics/PictureError.h"
#include "graphics/PngChunks.h"
#include "graphics/PngCodec.h"
#include "graphics/PngReduced.h"
#include "graphics/TiffRewrite.h"
#include "graphics/TiffStructure.h"

#include <QtEndian>

#include <map>
#include <zlib.h>

namespace {

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

bool colourType(const QByteArray& ihdr, int mask)
{
    return ihdr.size() >= 10 && (uchar(ihdr[9]) & mask) != 0;
}

// The colour space an iCCP chunk's profile says it is for ("GRAY", "RGB ").
QByteArray iccpSpace(const QByteArray& iccp)
{
    const qsizetype nul = iccp.indexOf('\0');
    if (nul < 0 || nul + 2 > iccp.size())
        return QByteArray();
    QByteArray head(128, '\0');
    z_stream z{};
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(iccp.constData() + nul + 2));
    z.avail_in = uInt(iccp.size() - nul - 2);
    z.next_out = reinterpret_cast<Bytef*>(head.data());
    z.avail_out = uInt(head.size());
    if (inflateInit(&z) != Z_OK)
        return QByteArray();
    inflate(&z, Z_SYNC_FLUSH);
    const bool whole = z.avail_out == 0;
    inflateEnd(&z);
    return whole ? head.mid(16, 4) : QByteArray();
}

QByteArray splicedPng(const QList<PngChunk>& original, const QByteArray& pixelsPng, bool quarterTurn,
                      bool resetOrientation, QSize size)
{
    const QList<PngChunk> fresh = pngChunks(pixelsPng);
    const QByteArray oldHeader = pngChunkData(original, "IHDR"), newHeader = pngChunkData(fresh, "IHDR");
    const bool sameLayout =
        newHeader.mid(8, 2) == oldHeader.mid(8, 2) && pngChunkData(fresh, "PLTE") == pngChunkData(original, "PLTE");
    // A grey profile says nothing of colours an effect made.
    const bool greyToColour =
        !colourType(oldHeader, PNG_COLOR_MASK_COLOR) && colourType(newHeader, PNG_COLOR_MASK_COLOR);
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
        if (c.type == "iCCP" && greyToColour && iccpSpace(c.data) == "GRAY")
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

// The PNG's samples as stored, upright as the picture is shown.
SampleRaster shownSamples(const Picture& picture, PngLayout* layout)
{
    return readPngSamples(picture.data(), layout).oriented(picture.orientation());
}

// ---- An effect's colours in a PNG's own layout ----

unsigned keyValue(const QByteArray& trns, int i)
{
    return unsigned(uchar(trns[2 * i]) << 8 | uchar(trns[2 * i + 1]));
}

// `value` (8 bits) at `bits` bits, when that holds it exactly; else -1.
int atDepth(unsigned value, int bits)
{
    if (bits == 16)
        return int(value * 257);
    if (bits == 8)
        return int(value);
    const unsigned top = (1u << bits) - 1, step = 255 / top;
    return value % step == 0 ? int(value / step) : -1;
}

struct PngTarget {
    PngLayout layout;
    SampleRaster samples;
};

// Alpha of each shown pixel as the old file gives it, at `bits` bits
// (from the channel, the palette's tRNS, or full).
unsigned oldAlpha(const SampleRaster& old, const PngLayout& l, int x, int y, int bits)
{
    const unsigned full = bits == 16 ? 65535 : 255;
    switch (l.colourType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return old.sample(x, y, 1, l.bitDepth);
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return old.sample(x, y, 3, l.bitDepth);
    case PNG_COLOR_TYPE_PALETTE: {
        const unsigned i = old.sample(x, y, 0, l.bitDepth);
        const unsigned a = i < unsigned(l.transparency.size()) ? uchar(l.transparency[qsizetype(i)]) : 255u;
        return bits == 16 ? a * 257 : a;
    }
    default:
        return full;
    }
}

bool hasAlpha(const PngLayout& l)
{
    return (l.colourType & PNG_COLOR_MASK_ALPHA) || (l.colourType == PNG_COLOR_TYPE_PALETTE && !l.transparency.isEmpty());
}

// The palette kept: every new colour is the old pixel's entry, or another
// entry of the same colour and transparency.
bool keptPalette(const SampleRaster& old, const PngLayout& l, const Bitmap24& px, SampleRaster* out)
{
    std::map<std::uint32_t, unsigned> entries; // colour and alpha to index
    const auto alphaOf = [&](unsigned i) {
        return i < unsigned(l.transparency.size()) ? uchar(l.transparency[qsizetype(i)]) : 255u;
    };
    const auto colour = [&](unsigned i) {
        const auto* p = reinterpret_cast<const uchar*>(l.palette.constData()) + 3 * i;
        return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
    };
    const unsigned count = unsigned(l.palette.size() / 3);
    for (unsigned i = count; i-- > 0;)
        entries[colour(i) | alphaOf(i) << 24] = i;
    *out = SampleRaster(px.width(), px.height(), l.bitDepth);
    for (int y = 0; y < px.height(); ++y) {
        const std::uint8_t* p = px.scanLine(y);
        for (int x = 0; x < px.width(); ++x, p += 3) {
            const std::uint32_t rgb = std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
            const unsigned was = old.sample(x, y, 0, l.bitDepth);
            unsigned index = was;
            if (was >= count || colour(was) != rgb) {
                const auto found = entries.find(rgb | alphaOf(was) << 24);
                if (found == entries.end())
                    return false;
                index = found->second;
            }
            out->setSample(x, y, 0, l.bitDepth, index);
        }
    }
    return true;
}

// Grey values at the old depth, or at 8 bits where that can't hold them.
bool greyAt(const Bitmap24& px, int bits, SampleRaster* out, int samples)
{
    *out = SampleRaster(px.width(), px.height(), bits * samples);
    for (int y = 0; y < px.height(); ++y) {
        const std::uint8_t* p = px.scanLine(y);
        for (int x = 0; x < px.width(); ++x, p += 3) {
            const int v = atDepth(p[0], bits);
            if (v < 0)
                return false;
            out->setSample(x, y, 0, bits, unsigned(v));
        }
    }
    return true;
}

// A colour key (tRNS of grey or RGB files) keeps its pixels transparent
// and no other pixel becomes it: one that would is moved by one step.
void keepKey(PngTarget& t, const SampleRaster& old, const PngLayout& oldLayout)
{
    const PngLayout& l = t.layout;
    const int channels = l.colourType == PNG_COLOR_TYPE_GRAY ? 1 : 3;
    if (l.transparency.size() != 2 * channels || (l.colourType != PNG_COLOR_TYPE_GRAY && l.colourType != PNG_COLOR_TYPE_RGB))
        return;
    const int oldChannels = oldLayout.colourType == PNG_COLOR_TYPE_GRAY ? 1 : 3;
    for (int y = 0; y < t.samples.height(); ++y) {
        for (int x = 0; x < t.samples.width(); ++x) {
            bool wasKey = true, isKey = true;
            for (int c = 0; c < oldChannels; ++c)
                wasKey &= old.sample(x, y, c, oldLayout.bitDepth) == keyValue(oldLayout.transparency, c);
            for (int c = 0; c < channels; ++c)
                isKey &= t.samples.sample(x, y, c, l.bitDepth) == keyValue(l.transparency, c);
            if (wasKey) {
                for (int c = 0; c < channels; ++c)
                    t.samples.setSample(x, y, c, l.bitDepth, keyValue(l.transparency, c));
            } else if (isKey) {
                const unsigned v = t.samples.sample(x, y, channels - 1, l.bitDepth);
                t.samples.setSample(x, y, channels - 1, l.bitDepth, v == 0 ? 1 : v - 1);
            }
        }
    }
}

// RGB at `bits` (8 or 16), with the old alpha where there was one.
SampleRaster colourSamples(const Bitmap24& px, int bits, bool alpha, const SampleRaster& old, const PngLayout& l)
{
    SampleRaster out(px.width(), px.height(), bits * (alpha ? 4 : 3));
    for (int y = 0; y < px.height(); ++y) {
        const std::uint8_t* p = px.scanLine(y);
        for (int x = 0; x < px.width(); ++x, p += 3) {
            for (int c = 0; c < 3; ++c)
                out.setSample(x, y, c, bits, bits == 16 ? p[2 - c] * 257u : p[2 - c]);
            if (alpha)
                out.setSample(x, y, 3, bits, oldAlpha(old, l, x, y, bits));
        }
    }
    return out;
}

PngTarget pngFor(const SampleRaster& old, const PngLayout& l, const Bitmap24& px)
{
    if (old.size() != QSize(px.width(), px.height()) && (hasAlpha(l) || !l.transparency.isEmpty()))
        throw PictureError(PictureError::Problem::Unwritable, QStringLiteral("its transparency at another size"));
    PngTarget t{l, {}};
    const bool grey = allGrey(px.bits(), px.stride(), px.width(), px.height());
    if (l.colourType == PNG_COLOR_TYPE_PALETTE && keptPalette(old, l, px, &t.samples))
        return t;
    if (grey && (l.colourType == PNG_COLOR_TYPE_GRAY || l.colourType == PNG_COLOR_TYPE_GRAY_ALPHA)) {
        const bool alpha = l.colourType == PNG_COLOR_TYPE_GRAY_ALPHA;
        const int samples = alpha ? 2 : 1;
        if (!greyAt(px, l.bitDepth, &t.samples, samples)) {
            t.layout.bitDepth = 8; // widened: the old depth can't hold the new values
            if (!t.layout.transparency.isEmpty())
                t.layout.transparency = QByteArray(1, '\0') + char(keyValue(l.transparency, 0) * 255 / ((1u << l.bitDepth) - 1));
            greyAt(px, 8, &t.samples, samples);
        }
        if (alpha) {
            for (int y = 0; y < px.height(); ++y)
                for (int x = 0; x < px.width(); ++x)
                    t.samples.setSample(x, y, 1, l.bitDepth, old.sample(x, y, 1, l.bitDepth));
        }
        keepKey(t, old, l);
        return t;
    }
    // Colour, at the old depth or 8 bits; alpha kept as a channel.
    const bool alpha = hasAlpha(l);
    const int bits = l.bitDepth == 16 ? 16 : 8;
    t.layout.bitDepth = bits;
    t.layout.colourType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    t.layout.palette.clear();
    t.layout.transparency.clear();
    if (l.colourType == PNG_COLOR_TYPE_RGB) {
        t.layout.transparency = l.transparency;
    } else if (l.colourType == PNG_COLOR_TYPE_GRAY && l.transparency.size() == 2) {
        // The grey key as the same colour in RGB.
        const unsigned k = keyValue(l.transparency, 0);
        const unsigned key = l.bitDepth == 16 ? k : k * (255 / ((1u << l.bitDepth) - 1));
        for (int c = 0; c < 3; ++c)
            t.layout.transparency.append(char(key >> 8)).append(char(key & 0xFF));
    }
    t.samples = colourSamples(px, bits, alpha, old, l);
    keepKey(t, old, l);
    return t;
}

QByteArray rewrittenPng(const Picture& picture, const PngTarget& t, bool quarterTurn)
{
    const bool reset = picture.exifOrientation() == ExifOrientation::Apply;
    return splicedPng(pngChunks(picture.data()), encodePngSamples(t.samples, t.layout), quarterTurn, reset,
                      t.samples.size());
}

void checkRewritable(const Picture& picture)
{
    if (picture.format() == PictureFormat::Png && pngIsAnimated(pngChunks(picture.data())))
        throw PictureError(PictureError::Problem::Unwritable, QStringLiteral("its animation frames"));
    if (picture.format() == PictureFormat::Tiff && !tiffRewritable(picture.data()))
        throw PictureError(PictureError::Problem::Unwritable, QStringLiteral("its further pages"));
}

} // namespace

bool pictureRewritable(const Picture& picture)
{
    // A damaged file of a kind that is written is refused as damaged.
    if (picture.knownDamage() != PictureDamage::None)
        return pictureFormatWritable(picture.format());
    const bool here = picture.readsHere();
    switch (picture.format()) {
    case PictureFormat::Jpeg:
    case PictureFormat::Bitmap:
        return true;
    case PictureFormat::Png:
        return here ? !pngIsAnimated(picture.data()) : picture.toldRewritable();
    case PictureFormat::Tiff:
        return here ? tiffRewritable(picture.data()) : picture.toldRewritable();
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
    if (!picture.readsHere())
        return picture.rewrittenByLoader(RewriteKind::Turn, angle);
    if (picture.kind() == Picture::Kind::Jpeg) {
        const QByteArray turned = picture.turnedLosslessly(angle);
        return turned.isEmpty() ? picture.turnedReencoded(angle) : turned;
    }
    return namingFile(picture.fileName(), [&] {
        checkRewritable(picture);
        const int transform = turnedOrientation(picture.orientation(), angle);
        // The stored axes trade places: so do the resolutions, which describe them.
        const bool transposed = transform >= 5;
        if (picture.format() == PictureFormat::Tiff)
            return turnedTiff(picture.data(), transform, transposed,
                              picture.exifOrientation() == ExifOrientation::Apply);
        PngTarget t;
        t.samples = readPngSamples(picture.data(), &t.layout).oriented(transform);
        return rewrittenPng(picture, t, transposed);
    });
}

QByteArray pictureFileWithPixels(const Picture& picture, const Bitmap24& pixels)
{
    if (!picture.readsHere())
        return picture.rewrittenByLoader(RewriteKind::WithPixels, 0, &pixels);
    return namingFile(picture.fileName(), [&] {
        checkRewritable(picture);
        if (picture.format() == PictureFormat::Tiff)
            return tiffWithColours(picture.data(), picture.orientation(), pixels,
                                   picture.exifOrientation() == ExifOrientation::Apply);
        PngLayout layout;
        const SampleRaster old = shownSamples(picture, &layout);
        return rewrittenPng(picture, pngFor(old, layout, pixels), false);
    });
}

QByteArray newPngFile(const Bitmap24& pixels, const Picture& source)
{
    QImage image = pixels.toImage();
    QByteArray png = encodePng(image);
    if (png.isEmpty())
        throw PictureError(PictureError::Problem::Unwritable, QStringLiteral("a PNG of %1 x %2 pixels")
                                                                   .arg(pixels.width())
                                                                   .arg(pixels.height()));
    const QColorSpace space = source.colorSpace();
    if (!space.isValid())
        return png;
    // The profile goes in as iCCP, compressed, before the pixels.
    const QByteArray icc = source.iccProfile().isEmpty() ? space.iccProfile() : source.iccProfile();
    uLongf size = compressBound(uLong(icc.size()));
    QByteArray packed(qsizetype(size), '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(icc.constData()),
                  uLong(icc.size()), Z_BEST_COMPRESSION) != Z_OK)
        return png;
    packed.truncate(qsizetype(size));
    QList<PngChunk> chunks = pngChunks(png);
    chunks.insert(1, PngChunk{"iCCP", QByteArray("ICC profile\0\0", 13) + packed});
    return pngFile(chunks);
}
