#include "graphics/BmpCodec.h"

#include "core/LittleEndian.h"
#include "graphics/PictureError.h"
#include "graphics/PictureLimits.h"

#include <array>
#include <bit>
#include <climits>
#include <cstring>

namespace {

constexpr int FileHeaderSize = 14;
constexpr int InfoHeaderSize = 40;

enum Compression : quint32 {
    CompRgb = 0,
    CompRle8 = 1,
    CompRle4 = 2,
    CompBitFields = 3,
    CompJpeg = 4,
    CompPng = 5,
    CompAlphaBitFields = 6,
};

// Bounds-checked little-endian reads over the file bytes; the caller has
// checked the range, these only guard against our own mistakes.
class Bytes {
public:
    explicit Bytes(const QByteArray& data)
        : m_p(reinterpret_cast<const quint8*>(data.constData())), m_n(data.size())
    {
    }
    // The first bytes of a longer file: only header fields may be read.
    Bytes(const QByteArray& head, qint64 fileSize)
        : m_p(reinterpret_cast<const quint8*>(head.constData())), m_n(fileSize)
    {
    }
    qint64 size() const { return m_n; }
    const quint8* at(qint64 off) const { return m_p + off; }
    bool has(qint64 off, qint64 len) const { return off >= 0 && len >= 0 && off <= m_n && len <= m_n - off; }
    quint16 u16(qint64 off) const { return has(off, 2) ? readLe16(m_p + off) : 0; }
    quint32 u32(qint64 off) const { return has(off, 4) ? readLe32(m_p + off) : 0; }
    qint32 i32(qint64 off) const { return qint32(u32(off)); }

private:
    const quint8* m_p;
    qint64 m_n;
};

// One colour channel of a bit-field pixel, widened to 8 bits with rounding
// so that a full-scale field gives 255 whatever its width.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    quint64 maxValue = 0;

    explicit Channel(quint32 m = 0) : mask(m)
    {
        if (mask == 0)
            return;
        shift = std::countr_zero(mask);
        const int bits = 32 - std::countl_zero(mask >> shift);
        maxValue = (quint64(1) << bits) - 1;
    }
    quint8 value(quint32 pixel) const
    {
        if (maxValue == 0)
            return 0;
        const quint64 v = (pixel & mask) >> shift;
        return quint8((v * 255 + maxValue / 2) / maxValue);
    }
};

struct Header {
    qint64 headerSize = 0;
    bool core = false; // 12-byte header: 16-bit sizes, 3-byte palette entries
    bool os2v2 = false;
    qint64 width = 0;
    qint64 height = 0; // absolute value
    bool topDown = false;
    int planes = 0;
    int bitCount = 0;
    quint32 compression = CompRgb;
    quint32 colorsUsed = 0;
    std::array<quint32, 3> masks{}; // red, green, blue
    quint32 alphaMask = 0;
    qint32 xPixelsPerMetre = 0, yPixelsPerMetre = 0;
    qint64 pixelOffset = 0;
    std::array<std::array<quint8, 3>, 256> palette{}; // blue, green, red; black past the file's entries
};

PictureError headerCorrupt()
{
    return PictureError::corrupt(QStringLiteral("its header is corrupt"));
}

PictureError compression(const QString& what)
{
    return PictureError(PictureError::Problem::Unreadable, QStringLiteral("%1 compression").arg(what));
}

bool knownWindowsHeader(qint64 size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// The file header and the info header's fields; returns the signed height.
qint64 readInfoHeader(const Bytes& in, Header& h)
{
    if (in.size() < 2 || in.at(0)[0] != 'B' || in.at(0)[1] != 'M')
        throw PictureError::notKind(PictureFormat::Bitmap);
    if (in.size() < FileHeaderSize + 4)
        throw PictureError::endsEarly();

    h.headerSize = in.u32(FileHeaderSize);
    h.core = h.headerSize == 12;
    h.os2v2 = !h.core && !knownWindowsHeader(h.headerSize) && h.headerSize >= 16 && h.headerSize <= 64;
    // Headers of later versions may come; a size past any of them is damage.
    if (!h.core && !h.os2v2 && !knownWindowsHeader(h.headerSize)) {
        if (h.headerSize > 1024)
            throw headerCorrupt();
        throw PictureError(PictureError::Problem::Unreadable, QStringLiteral("a %1-byte header").arg(h.headerSize));
    }
    const qint64 headerEnd = FileHeaderSize + h.headerSize;
    if (!in.has(0, headerEnd))
        throw PictureError::endsEarly();

    // A shortened OS/2 header simply omits its trailing fields: they read as 0.
    auto field32 = [&](int off) { return off + 4 <= h.headerSize ? in.u32(FileHeaderSize + off) : 0u; };
    qint64 rawHeight = 0;
    if (h.core) {
        h.width = in.u16(18);
        rawHeight = in.u16(20);
        h.planes = in.u16(22);
        h.bitCount = in.u16(24);
    } else {
        h.width = in.i32(18);
        rawHeight = in.i32(22);
        h.planes = in.u16(26);
        h.bitCount = in.u16(28);
        h.compression = field32(16);
        h.colorsUsed = field32(32);
        h.xPixelsPerMetre = qint32(field32(24));
        h.yPixelsPerMetre = qint32(field32(28));
    }
    return rawHeight;
}

// Rejects the compressions and depths this reader cannot decode.
void checkEncoding(const Header& h)
{
    switch (h.compression) {
    case CompRgb:
        break;
    case CompRle8:
        if (h.bitCount != 8)
            throw headerCorrupt();
        break;
    case CompRle4:
        if (h.bitCount != 4)
            throw headerCorrupt();
        break;
    case CompBitFields:
        if (h.os2v2)
            throw compression(QStringLiteral("Huffman"));
        if (h.bitCount != 16 && h.bitCount != 32)
            throw headerCorrupt();
        break;
    case CompJpeg:
        throw compression(h.os2v2 ? QStringLiteral("RLE24") : QStringLiteral("JPEG"));
    case CompPng:
        throw compression(QStringLiteral("PNG"));
    case CompAlphaBitFields:
        if (h.os2v2 || (h.bitCount != 16 && h.bitCount != 32))
            throw headerCorrupt();
        break;
    default:
        throw compression(QStringLiteral("type %1").arg(h.compression));
    }

    switch (h.bitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        throw PictureError::corrupt(QStringLiteral("its header says %1 bits a pixel").arg(h.bitCount));
    }
}

void setDimensions(Header& h, qint64 rawHeight)
{
    if (h.planes != 1 || h.width <= 0 || rawHeight == 0)
        throw headerCorrupt();
    h.topDown = rawHeight < 0;
    h.height = h.topDown ? -rawHeight : rawHeight;
    // Run-length data is always stored bottom-up.
    if (h.topDown && (h.compression == CompRle8 || h.compression == CompRle4))
        throw headerCorrupt();
    checkPictureSize(h.width, h.height);
}

// Bit-field masks sit in the larger headers, or follow a 40-byte one.
// Returns where they end.
qint64 readMasks(const Bytes& in, Header& h)
{
    const qint64 headerEnd = FileHeaderSize + h.headerSize;
    qint64 masksEnd = headerEnd;
    if (h.compression == CompBitFields || h.compression == CompAlphaBitFields) {
        qint64 maskStart = FileHeaderSize + InfoHeaderSize;
        if (h.headerSize == InfoHeaderSize) {
            masksEnd = headerEnd + (h.compression == CompAlphaBitFields ? 16 : 12);
            if (!in.has(0, masksEnd))
                throw PictureError::endsEarly();
        }
        h.masks = {in.u32(maskStart), in.u32(maskStart + 4), in.u32(maskStart + 8)};
        if (h.masks[0] == 0 && h.masks[1] == 0 && h.masks[2] == 0)
            throw headerCorrupt();
        // The alpha mask follows, in headers that have room for it.
        if (h.compression == CompAlphaBitFields || h.headerSize >= 56)
            h.alphaMask = in.u32(maskStart + 12);
    } else if (h.bitCount == 16) {
        h.masks = {0x7c00, 0x03e0, 0x001f};
    } else if (h.bitCount == 32) {
        h.masks = {0x00ff0000, 0x0000ff00, 0x000000ff};
    }
    return masksEnd;
}

// Returns where the palette ends.
qint64 readPalette(const Bytes& in, Header& h, qint64 masksEnd, qint64 declaredOffset)
{
    const int entrySize = h.core ? 3 : 4;
    const qint64 maxColors = qint64(1) << h.bitCount;
    qint64 count = h.colorsUsed == 0 ? maxColors : qint64(h.colorsUsed);
    // The palette cannot reach into the pixels, so the gap before them
    // bounds it: the small OS/2 header has no colour count at all, and a
    // wild count elsewhere is no reason to lose sound pixels.
    if (declaredOffset >= masksEnd && declaredOffset <= in.size())
        count = std::min(count, (declaredOffset - masksEnd) / entrySize);
    if (!in.has(masksEnd, count * entrySize))
        throw count > maxColors ? headerCorrupt() : PictureError::endsEarly();
    const qint64 used = std::min(count, maxColors);
    for (qint64 i = 0; i < used; ++i) {
        const quint8* e = in.at(masksEnd + i * entrySize);
        h.palette[i] = {e[0], e[1], e[2]};
    }
    return masksEnd + count * entrySize;
}

Header parseHeader(const Bytes& in)
{
    Header h;
    const qint64 rawHeight = readInfoHeader(in, h);
    checkEncoding(h);
    setDimensions(h, rawHeight);
    const qint64 masksEnd = readMasks(in, h);
    const qint64 declaredOffset = in.u32(10);
    const qint64 paletteEnd = h.bitCount <= 8 ? readPalette(in, h, masksEnd, declaredOffset) : masksEnd;

    // Trust the declared pixel offset unless it points into the headers.
    h.pixelOffset = declaredOffset >= masksEnd ? declaredOffset : paletteEnd;
    if (h.pixelOffset >= in.size())
        throw PictureError::endsEarly();
    return h;
}

void decodeUncompressed(const Bytes& in, const Header& h, Bitmap24& out)
{
    const qint64 srcStride = (h.width * h.bitCount + 31) / 32 * 4;
    const int width = int(h.width);
    const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]);
    const bool plain32 =
        h.bitCount == 32 && h.masks == std::array<quint32, 3>{0x00ff0000, 0x0000ff00, 0x000000ff};
    // A file that ends early gives the rows it holds; the rest stay black.
    const qint64 rowBytes = (h.width * h.bitCount + 7) / 8;
    const qint64 held = in.size() - h.pixelOffset;
    const qint64 rows = held < rowBytes ? 0 : std::min(h.height, (held - rowBytes) / srcStride + 1);
    for (qint64 r = 0; r < rows; ++r) {
        const quint8* src = in.at(h.pixelOffset + r * srcStride);
        quint8* dst = out.scanLine(int(h.topDown ? r : h.height - 1 - r));
        switch (h.bitCount) {
        case 1:
        case 2:
        case 4: {
            const int bits = h.bitCount;
            const int perByte = 8 / bits;
            const int indexMask = (1 << bits) - 1;
            for (int x = 0; x < width; ++x, dst += 3) {
                const int shift = 8 - bits * (x % perByte + 1);
                std::memcpy(dst, h.palette[(src[x / perByte] >> shift) & indexMask].data(), 3);
            }
            break;
        }
        case 8:
            for (int x = 0; x < width; ++x, dst += 3)
                std::memcpy(dst, h.palette[src[x]].data(), 3);
            break;
        case 16:
            for (int x = 0; x < width; ++x, dst += 3) {
                const quint32 px = readLe16(src + 2 * x);
                dst[0] = blue.value(px);
                dst[1] = green.value(px);
                dst[2] = red.value(px);
            }
            break;
        case 24:
            std::memcpy(dst, src, std::size_t(width) * 3);
            break;
        case 32:
            if (plain32) {
                for (int x = 0; x < width; ++x, dst += 3, src += 4)
                    std::memcpy(dst, src, 3);
            } else {
                for (int x = 0; x < width; ++x, dst += 3) {
                    const quint32 px = readLe32(src + 4 * x);
                    dst[0] = blue.value(px);
                    dst[1] = green.value(px);
                    dst[2] = red.value(px);
                }
            }
            break;
        }
    }
}

// The alpha channel of a 16- or 32-bit bitmap whose masks give one, one
// byte a pixel from the top row; empty when it has none, or when every
// pixel reads 0, which writers that leave the channel unused store.
std::vector<std::uint8_t> decodeAlpha(const Bytes& in, const Header& h)
{
    const Channel alpha(h.alphaMask);
    if (alpha.mask == 0 || (h.bitCount != 16 && h.bitCount != 32) || h.compression == CompRgb)
        return {};
    const qint64 srcStride = (h.width * h.bitCount + 31) / 32 * 4;
    const qint64 rowBytes = (h.width * h.bitCount + 7) / 8;
    const qint64 held = in.size() - h.pixelOffset;
    const qint64 rows = held < rowBytes ? 0 : std::min(h.height, (held - rowBytes) / srcStride + 1);
    // Rows the file no longer holds are transparent, as they hold nothing.
    std::vector<std::uint8_t> out(std::size_t(h.width * h.height), 0);
    bool any = false;
    for (qint64 r = 0; r < rows; ++r) {
        const quint8* src = in.at(h.pixelOffset + r * srcStride);
        std::uint8_t* dst = out.data() + std::size_t(h.topDown ? r : h.height - 1 - r) * std::size_t(h.width);
        for (qint64 x = 0; x < h.width; ++x) {
            const quint32 px = h.bitCount == 16 ? readLe16(src + 2 * x) : readLe32(src + 4 * x);
            dst[x] = alpha.value(px);
            any |= dst[x] != 0;
        }
    }
    if (!any)
        return {};
    return out;
}

// RLE4/RLE8. Pixels the stream never reaches (skipped by a delta, or left
// when it ends early) keep palette colour 0; runs past the right edge or the
// top row are clipped.
// Answers whether the stream ended before its end-of-bitmap mark.
bool decodeRle(const Bytes& in, const Header& h, Bitmap24& out)
{
    const bool rle8 = h.compression == CompRle8;
    const auto& background = h.palette[0];
    if (background != std::array<quint8, 3>{0, 0, 0}) // the bitmap starts out black
        out.fill(background[0], background[1], background[2]);

    const qint64 width = h.width;
    const qint64 height = h.height;
    qint64 x = 0;
    qint64 y = 0; // counted from the bottom row
    auto put = [&](int index) {
        if (x < width)
            std::memcpy(out.scanLine(int(height - 1 - y)) + 3 * x, h.palette[index].data(), 3);
        ++x;
    };

    qint64 pos = h.pixelOffset;
    const qint64 end = in.size();
    while (pos + 2 <= end && y < height) {
        const int count = in.at(pos)[0];
        const int value = in.at(pos)[1];
        pos += 2;
        if (count > 0) {
            const int n = int(std::min<qint64>(count, std::max<qint64>(0, width - x)));
            for (int i = 0; i < n; ++i)
                put(rle8 ? value : (i & 1) ? value & 0x0f : value >> 4);
            x += count - n;
        } else if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            return false;
        } else if (value == 2) { // delta
            if (pos + 2 > end)
                break;
            x += in.at(pos)[0];
            y += in.at(pos)[1];
            pos += 2;
        } else { // literal run of `value` pixels, padded to 16 bits
            const qint64 bytes = rle8 ? value : (value + 1) / 2;
            const qint64 avail = std::min(bytes, end - pos);
            const quint8* src = in.at(pos);
            const int n = rle8 ? int(avail) : int(std::min<qint64>(value, avail * 2));
            for (int i = 0; i < n; ++i)
                put(rle8 ? src[i] : (i & 1) ? src[i / 2] & 0x0f : src[i / 2] >> 4);
            pos += (bytes + 1) & ~qint64(1);
        }
    }
    return y < height;
}

// Whether the file is too short for its pixels; the last row may omit its
// padding. Without `partly`, or when it holds not even one row, or when the
// pixels it claims are far more than it could fill (so that a few bytes
// can't ask for a gigabyte), it is refused before anything is allocated.
bool isShort(const Bytes& in, const Header& h, bool partly)
{
    if (h.compression == CompRle8 || h.compression == CompRle4)
        return false;
    const qint64 rowBits = h.width * h.bitCount;
    const qint64 needed = (rowBits + 31) / 32 * 4 * (h.height - 1) + (rowBits + 7) / 8;
    if (in.has(h.pixelOffset, needed))
        return false;
    constexpr qint64 MaxGrowth = 64;
    const qint64 held = in.size() - h.pixelOffset;
    if (!partly || held < (rowBits + 7) / 8 ||
        Bitmap24::strideFor(int(h.width)) * h.height > MaxGrowth * in.size())
        throw PictureError::endsEarly();
    return true;
}

} // namespace

Bitmap24 decodeBmp(const QByteArray& data, PictureDamage* damage, BmpExtras* extras)
{
    const Bytes in(data);
    const Header h = parseHeader(in);
    bool endsEarly = isShort(in, h, damage != nullptr);
    Bitmap24 out(int(h.width), int(h.height));
    if (h.compression == CompRle8 || h.compression == CompRle4)
        endsEarly = decodeRle(in, h, out);
    else
        decodeUncompressed(in, h, out);
    if (damage)
        *damage = endsEarly ? PictureDamage::EndsEarly : PictureDamage::None;
    if (extras) {
        extras->alpha = decodeAlpha(in, h);
        if (h.xPixelsPerMetre > 0 && h.yPixelsPerMetre > 0) {
            extras->xPixelsPerMetre = h.xPixelsPerMetre;
            extras->yPixelsPerMetre = h.yPixelsPerMetre;
        }
    }
    return out;
}

QByteArray bmp24Headers(int width, int height, const BmpExtras& extras)
{
    const qint64 stride = Bitmap24::strideFor(width);
    const qint64 imageSize = stride * height;
    const qint64 fileSize = FileHeaderSize + InfoHeaderSize + imageSize;
    if (width <= 0 || height <= 0)
        throw headerCorrupt();
    if (fileSize > INT_MAX)
        throw PictureError::tooLarge(width, height);

    QByteArray out(FileHeaderSize + InfoHeaderSize, '\0');
    out[0] = 'B';
    out[1] = 'M';
    putLe32(out, 2, quint32(fileSize));
    putLe32(out, 10, FileHeaderSize + InfoHeaderSize);
    putLe32(out, 14, InfoHeaderSize);
    putLe32(out, 18, quint32(width));
    putLe32(out, 22, quint32(height)); // positive: bottom-up
    putLe16(out, 26, 1);
    putLe16(out, 28, 24);
    putLe32(out, 30, CompRgb);
    putLe32(out, 34, quint32(imageSize));
    putLe32(out, 38, quint32(extras.xPixelsPerMetre));
    putLe32(out, 42, quint32(extras.yPixelsPerMetre));
    return out;
}

QByteArray encodeBmp(const Bitmap24& bitmap, const BmpExtras& extras)
{
    const bool alpha = extras.alpha.size() == std::size_t(bitmap.width()) * std::size_t(bitmap.height());
    return alpha && !bitmap.isEmpty() ? encodeBmp32(bitmap, extras) : encodeBmp24(bitmap, extras);
}

QByteArray encodeBmp24(const Bitmap24& bitmap, const BmpExtras& extras)
{
    QByteArray out = bmp24Headers(bitmap.width(), bitmap.height(), extras);
    const qint64 stride = Bitmap24::strideFor(bitmap.width());
    out.resize(out.size() + stride * bitmap.height(), '\0');
    char* pixels = out.data() + FileHeaderSize + InfoHeaderSize;
    const std::size_t rowBytes = std::size_t(bitmap.width()) * 3;
    for (int y = 0; y < bitmap.height(); ++y)
        std::memcpy(pixels + (bitmap.height() - 1 - y) * stride, bitmap.scanLine(y), rowBytes);
    return out;
}

QByteArray encodeBmp32(const Bitmap24& bitmap, const BmpExtras& extras)
{
    // A version 5 header: bit fields with an alpha mask, in sRGB.
    constexpr int V5HeaderSize = 124;
    const int width = bitmap.width(), height = bitmap.height();
    const qint64 imageSize = qint64(width) * height * 4;
    const qint64 fileSize = FileHeaderSize + V5HeaderSize + imageSize;
    if (width <= 0 || height <= 0)
        throw headerCorrupt();
    if (fileSize > INT_MAX)
        throw PictureError::tooLarge(width, height);
    QByteArray out(qsizetype(fileSize), '\0');
    out[0] = 'B';
    out[1] = 'M';
    putLe32(out, 2, quint32(fileSize));
    putLe32(out, 10, FileHeaderSize + V5HeaderSize);
    putLe32(out, 14, V5HeaderSize);
    putLe32(out, 18, quint32(width));
    putLe32(out, 22, quint32(height));
    putLe16(out, 26, 1);
    putLe16(out, 28, 32);
    putLe32(out, 30, CompBitFields);
    putLe32(out, 34, quint32(imageSize));
    putLe32(out, 38, quint32(extras.xPixelsPerMetre));
    putLe32(out, 42, quint32(extras.yPixelsPerMetre));
    putLe32(out, 54, 0x00ff0000);
    putLe32(out, 58, 0x0000ff00);
    putLe32(out, 62, 0x000000ff);
    putLe32(out, 66, 0xff000000);
    putLe32(out, 70, 0x73524742); // 'sRGB'
    putLe32(out, 122, 4);          // LCS_GM_IMAGES
    char* pixels = out.data() + FileHeaderSize + V5HeaderSize;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = bitmap.scanLine(y);
        const std::uint8_t* a = extras.alpha.data() + std::size_t(y) * std::size_t(width);
        auto* o = reinterpret_cast<std::uint8_t*>(pixels) + std::size_t(height - 1 - y) * std::size_t(width) * 4;
        for (int x = 0; x < width; ++x, in += 3, o += 4) {
            std::memcpy(o, in, 3);
            o[3] = a[x];
        }
    }
    return out;
}

std::optional<Bmp24Rows> plainBmp24Rows(const QByteArray& head, qint64 fileSize)
{
    if (head.size() < std::min<qint64>(fileSize, 1024))
        return std::nullopt;
    const Bytes in(head, fileSize);
    Header h;
    readInfoHeader(in, h);
    // Checked before the whole parse, which reads palettes past the head.
    if (h.bitCount != 24 || h.compression != CompRgb)
        return std::nullopt;
    h = parseHeader(in);
    // A short file goes the whole-frame way, which knows it is damaged.
    if (isShort(in, h, true))
        return std::nullopt;
    Bmp24Rows rows{int(h.width), int(h.height), h.topDown, h.pixelOffset, (h.width * 24 + 31) / 32 * 4, {}};
    if (h.xPixelsPerMetre > 0 && h.yPixelsPerMetre > 0) {
        rows.extras.xPixelsPerMetre = h.xPixelsPerMetre;
        rows.extras.yPixelsPerMetre = h.yPixelsPerMetre;
    }
    return rows;
}
