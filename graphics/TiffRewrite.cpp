#include "graphics/TiffRewrite.h"

#include "graphics/InkConversion.h"
#include "graphics/PictureError.h"
#include "graphics/TiffSamples.h"
#include "graphics/TiffStructure.h"

#include <tiffio.h>

#include <algorithm>
#include <map>

namespace {

using D = TiffStructure::Directory;
using Entry = TiffStructure::Entry;

// Tags that describe how the old pixels were laid out and coded.
bool describesPixels(quint16 tag)
{
    static const quint16 tags[] = {256, 257, 258, 259, 262, 266, 273, 277, 278, 279, 280, 281,
                                   284, 317, 320, 322, 323, 324, 325, 330, 338, 339, 347, 512,
                                   513, 514, 515, 517, 518, 519, 520, 521, 529, 530, 531, 532};
    return std::find(std::begin(tags), std::end(tags), tag) != std::end(tags);
}

// A directory's entry as it will be written: tag, type, count, the value
// bytes in the new file's byte order.
struct NewEntry {
    quint16 type;
    quint32 count;
    QByteArray value;
};
using NewDirectory = std::map<quint16, NewEntry>;

// The new file, in the byte order of Qt's output, growing at its end.
class Writer {
public:
    explicit Writer(const TiffStructure& base) : m_base(base), m_out(base.bytes()) {}
    QByteArray& bytes() { return m_out; }

    // `e`'s value from `from`, in this file's byte order.
    QByteArray valueOf(const TiffStructure& from, const Entry& e) const
    {
        QByteArray v = from.value(e);
        if (from.bigEndian() == m_base.bigEndian())
            return v;
        const int size = TiffStructure::typeSize(e.type);
        const int element = e.type == 5 || e.type == 10 ? 4 : size;
        for (qsizetype at = 0; element > 1 && at + element <= v.size(); at += element)
            std::reverse(v.begin() + at, v.begin() + at + element);
        return v;
    }

    QByteArray number32(quint32 v) const
    {
        QByteArray b(4, '\0');
        m_base.put32(b, 0, v);
        return b;
    }

    // Appends a directory (values first, word aligned) and answers where it starts.
    quint32 write(const NewDirectory& dir)
    {
        std::map<quint16, quint32> outside;
        for (const auto& [tag, e] : dir) {
            if (e.value.size() > 4)
                outside[tag] = append(e.value);
        }
        const quint32 at = append(QByteArray(qsizetype(2 + 12 * dir.size() + 4), '\0'));
        m_base.put16(m_out, at, quint16(dir.size()));
        qsizetype p = at + 2;
        for (const auto& [tag, e] : dir) {
            m_base.put16(m_out, p, tag);
            m_base.put16(m_out, p + 2, e.type);
            m_base.put32(m_out, p + 4, e.count);
            if (e.value.size() > 4)
                m_base.put32(m_out, p + 8, outside[tag]);
            else
                std::copy(e.value.begin(), e.value.end(), m_out.begin() + p + 8);
            p += 12;
        }
        return at;
    }

private:
    quint32 append(const QByteArray& bytes)
    {
        if (m_out.size() % 2)
            m_out.append('\0');
        const auto at = quint32(m_out.size());
        m_out += bytes;
        return at;
    }

    const TiffStructure& m_base;
    QByteArray m_out;
};

// A copy of one of `from`'s directories (EXIF, GPS, interoperability)
// written into `w`; answers its offset, or 0 when it holds nothing.
quint32 copyDirectory(Writer& w, const TiffStructure& from, D d, QSize size)
{
    NewDirectory dir;
    for (const Entry& e : from.entries(d)) {
        NewEntry n{e.type, e.count, w.valueOf(from, e)};
        if (d == D::Exif && e.tag == tifftag::InteropIfd) {
            const quint32 at = copyDirectory(w, from, D::Interop, size);
            if (at == 0)
                continue;
            n = {4, 1, w.number32(at)};
        }
        if (d == D::Exif && (e.tag == tifftag::PixelXDimension || e.tag == tifftag::PixelYDimension))
            n = {4, 1, w.number32(quint32(e.tag == tifftag::PixelXDimension ? size.width() : size.height()))};
        dir[e.tag] = n;
    }
    return dir.empty() ? 0 : w.write(dir);
}

// The colour space a profile is for, as the photometric interpretation says it.
QByteArray expectedIccSpace(int photometric)
{
    switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        return "GRAY";
    case PHOTOMETRIC_SEPARATED:
        return "CMYK";
    default:
        return "RGB ";
    }
}

// `freshBytes` (a TIFF of the new samples alone) with the first directory
// of `original` lending every tag that does not describe the old pixel
// layout (text, ICC profile, resolution, EXIF and GPS directories).
QByteArray mergedTiff(const QByteArray& original, const QByteArray& freshBytes, QSize size, bool quarterTurn,
                      bool resetOrientation)
{
    const TiffStructure old(original);
    const TiffStructure fresh(freshBytes);
    if (!fresh.isValid())
        throw PictureError(PictureError::Problem::Unwritable, QStringLiteral("its TIFF layout"));
    Writer w(fresh);
    const int photometric = int(fresh.number(D::First, 262).value_or(PHOTOMETRIC_RGB));

    NewDirectory dir;
    for (const Entry& e : fresh.entries(D::First)) {
        if (describesPixels(e.tag))
            dir[e.tag] = {e.type, e.count, w.valueOf(fresh, e)};
    }
    for (const Entry& e : old.entries(D::First)) {
        // Bits come first in each byte as libtiff writes them: a tag that
        // says so stays.
        constexpr quint16 FillOrder = 266;
        if (e.tag == FillOrder && old.number(D::First, FillOrder) == 1u && !dir.count(FillOrder))
            dir[FillOrder] = {e.type, e.count, w.valueOf(old, e)};
        if (describesPixels(e.tag) || e.tag == tifftag::ExifIfd || e.tag == tifftag::GpsIfd)
            continue;
        // A profile of another colour model than the new samples' would contradict them.
        if (e.tag == tifftag::IccProfile && old.value(e).mid(16, 4) != expectedIccSpace(photometric))
            continue;
        quint16 tag = e.tag;
        if (quarterTurn && (tag == tifftag::XResolution || tag == tifftag::YResolution))
            tag = tag == tifftag::XResolution ? tifftag::YResolution : tifftag::XResolution;
        NewEntry n{e.type, e.count, w.valueOf(old, e)};
        if (tag == tifftag::Orientation && resetOrientation) {
            n = {3, 1, QByteArray(4, '\0')};
            fresh.put16(n.value, 0, 1);
        }
        dir[tag] = n;
    }
    for (const auto& [tag, sub] : {std::pair{tifftag::ExifIfd, D::Exif}, std::pair{tifftag::GpsIfd, D::Gps}}) {
        if (old.directoryAt(sub) == 0)
            continue;
        if (const quint32 at = copyDirectory(w, old, sub, size))
            dir[tag] = {4, 1, w.number32(at)};
    }
    const quint32 first = w.write(dir);
    fresh.put32(w.bytes(), 4, first);
    return w.bytes();
}

[[noreturn]] void cantKeep(const QString& what)
{
    throw PictureError(PictureError::Problem::Unwritable, what);
}

unsigned fullOf(int bits)
{
    return bits >= 16 ? 65535u : (1u << bits) - 1;
}

// `v` (8 bits) at `bits`, or -1 where that depth can't hold it.
int atDepth(unsigned v, int bits)
{
    if (bits >= 8)
        return int(bits == 16 ? v * 257 : v);
    const unsigned step = 255 / fullOf(bits);
    return v % step == 0 ? int(v / step) : -1;
}

// The old samples beyond the colours (alpha and others) of each pixel,
// at `bits` bits, into samples `colours` onwards of `out`.
void copyExtras(const SampleRaster& old, const TiffLayout& l, SampleRaster& out, int colours, int bits)
{
    const int extras = int(l.extraSamples.size());
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            for (int e = 0; e < extras; ++e) {
                const unsigned v = old.sample(x, y, l.colourSamples() + e, l.bitsPerSample);
                out.setSample(x, y, colours + e, bits,
                              bits == l.bitsPerSample ? v : v * fullOf(bits) / fullOf(l.bitsPerSample));
            }
}

// RGB from the effect, the extra samples kept; an associated alpha
// multiplies the colours, as the file keeps them.
SampleRaster rgbSamples(const SampleRaster& old, const TiffLayout& l, const Bitmap24& px, int bits)
{
    const int extras = int(l.extraSamples.size());
    SampleRaster out(px.width(), px.height(), bits * (3 + extras));
    copyExtras(old, l, out, 3, bits);
    const int alpha = l.alphaIndex();
    const bool associated = l.alphaAssociated();
    const unsigned full = fullOf(bits);
    for (int y = 0; y < px.height(); ++y) {
        const std::uint8_t* p = px.scanLine(y);
        for (int x = 0; x < px.width(); ++x, p += 3) {
            const unsigned a = associated ? out.sample(x, y, 3 + alpha, bits) : full;
            for (int c = 0; c < 3; ++c) {
                const unsigned v = bits == 16 ? p[2 - c] * 257u : p[2 - c];
                out.setSample(x, y, c, bits, (v * a + full / 2) / full);
            }
        }
    }
    return out;
}

// Grey at `bits`, false where that depth can't hold the new values.
bool greySamples(const SampleRaster& old, const TiffLayout& l, const Bitmap24& px, int bits, SampleRaster* out)
{
    *out = SampleRaster(px.width(), px.height(), bits * l.samplesPerPixel);
    copyExtras(old, l, *out, 1, bits);
    const bool inverted = l.photometric == PHOTOMETRIC_MINISWHITE;
    for (int y = 0; y < px.height(); ++y) {
        const std::uint8_t* p = px.scanLine(y);
        for (int x = 0; x < px.width(); ++x, p += 3) {
            const int v = atDepth(inverted ? 255 - p[0] : p[0], bits);
            if (v < 0)
                return false;
            out->setSample(x, y, 0, bits, unsigned(v));
        }
    }
    return true;
}

// The colour map kept: every new colour is one of its entries.
bool paletteSamples(const SampleRaster& old, const TiffLayout& l, const Bitmap24& px, SampleRaster* out)
{
    const std::size_t n = l.colourMap.size() / 3;
    const auto entry = [&](std::size_t i) {
        return std::uint32_t(l.colourMap[i] >> 8) << 16 | std::uint32_t(l.colourMap[n + i] >> 8) << 8 |
               std::uint32_t(l.colourMap[2 * n + i] >> 8);
    };
    std::map<std::uint32_t, unsigned> index;
    for (std::size_t i = n; i-- > 0;)
        index[entry(i)] = unsigned(i);
    *out = SampleRaster(px.width(), px.height(), l.bitsPerPixel());
    copyExtras(old, l, *out, 1, l.bitsPerSample);
    for (int y = 0; y < px.height(); ++y) {
        const std::uint8_t* p = px.scanLine(y);
        for (int x = 0; x < px.width(); ++x, p += 3) {
            const std::uint32_t rgb = std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
            unsigned was = old.sample(x, y, 0, l.bitsPerSample);
            if (was >= n || entry(was) != rgb) {
                const auto found = index.find(rgb);
                if (found == index.end())
                    return false;
                was = found->second;
            }
            out->setSample(x, y, 0, l.bitsPerSample, was);
        }
    }
    return true;
}

SampleRaster cmykSamples(const SampleRaster& old, const TiffLayout& l, const Bitmap24& px)
{
    const int bits = l.bitsPerSample;
    if (l.inkSet != INKSET_CMYK || l.colourSamples() != 4)
        cantKeep(QStringLiteral("its %1 inks").arg(l.colourSamples()));
    if (bits < 8)
        cantKeep(QStringLiteral("%1-bit inks").arg(bits));
    SampleRaster out(px.width(), px.height(), l.bitsPerPixel());
    copyExtras(old, l, out, 4, bits);
    const unsigned full = fullOf(bits);
    for (int y = 0; y < px.height(); ++y) {
        const std::uint8_t* p = px.scanLine(y);
        for (int x = 0; x < px.width(); ++x, p += 3) {
            const std::uint8_t rgb[3] = {p[2], p[1], p[0]};
            unsigned inks[4];
            inksFor(rgb, old.sample(x, y, 3, bits), full, inks);
            for (int c = 0; c < 4; ++c)
                out.setSample(x, y, c, bits, inks[c]);
        }
    }
    return out;
}

// The new colours in the old layout where it holds them, else in the
// smallest layout that loses nothing of the old one (more bits, RGB).
SampleRaster samplesFor(const SampleRaster& old, TiffLayout& l, const Bitmap24& px)
{
    if (old.size() != QSize(px.width(), px.height()) && !l.extraSamples.empty())
        cantKeep(QStringLiteral("its extra samples at another size"));
    SampleRaster out;
    switch (l.photometric) {
    case PHOTOMETRIC_SEPARATED:
        return cmykSamples(old, l, px);
    case PHOTOMETRIC_PALETTE:
        if (paletteSamples(old, l, px, &out))
            return out;
        break;
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        if (!allGrey(px.bits(), px.stride(), px.width(), px.height()))
            break;
        if (greySamples(old, l, px, l.bitsPerSample, &out))
            return out;
        greySamples(old, l, px, 8, &out);
        l.bitsPerSample = 8;
        return out;
    default:
        break;
    }
    const int bits = l.bitsPerSample == 16 ? 16 : 8;
    out = rgbSamples(old, l, px, bits);
    l.bitsPerSample = bits;
    l.samplesPerPixel = 3 + int(l.extraSamples.size());
    l.photometric = PHOTOMETRIC_RGB;
    l.colourMap.clear();
    if (l.compression != COMPRESSION_LZW && l.compression != COMPRESSION_ADOBE_DEFLATE &&
        l.compression != COMPRESSION_PACKBITS)
        l.compression = l.compression == COMPRESSION_NONE ? COMPRESSION_NONE : COMPRESSION_LZW;
    return out;
}

} // namespace

bool tiffRewritable(const QByteArray& file)
{
    const TiffStructure tiff(file);
    const qsizetype first = tiff.directoryAt(D::First);
    if (first == 0)
        return false;
    const qsizetype next = first + 2 + qsizetype(tiff.read16(first)) * 12;
    return next + 4 <= file.size() && tiff.read32(next) == 0;
}

QByteArray turnedTiff(const QByteArray& original, int transform, bool quarterTurn, bool resetOrientation)
{
    TiffLayout layout;
    const SampleRaster samples = readTiffSamples(original, &layout).oriented(transform);
    return mergedTiff(original, encodeTiffSamples(samples, layout), samples.size(), quarterTurn, resetOrientation);
}

QByteArray tiffWithColours(const QByteArray& original, int orientation, const Bitmap24& pixels,
                           bool resetOrientation)
{
    TiffLayout layout;
    const SampleRaster old = readTiffSamples(original, &layout).oriented(orientation);
    const SampleRaster samples = samplesFor(old, layout, pixels);
    return mergedTiff(original, encodeTiffSamples(samples, layout), samples.size(), false, resetOrientation);
}
