#include "graphics/ExifMetadata.h"

#include "graphics/Orientation.h"

#include <QtEndian>

#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr char ExifHeader[6] = {'E', 'x', 'i', 'f', '\0', '\0'};
constexpr qsizetype Base = 6; // where the TIFF header starts in the block
// The most an APP1 segment holds after its two length bytes.
constexpr qsizetype MaxSegmentPayload = 65533;

constexpr quint16 TagWidth = 0x0100, TagHeight = 0x0101, TagOrientation = 0x0112;
constexpr quint16 TagXResolution = 0x011A, TagYResolution = 0x011B;
constexpr quint16 TagThumbOffset = 0x0201, TagThumbLength = 0x0202;
constexpr quint16 TagExifIfd = 0x8769, TagPixelX = 0xA002, TagPixelY = 0xA003;
constexpr quint16 TypeShort = 3, TypeLong = 4;

// The TIFF structure inside the block; offsets count from its header.
struct Tiff {
    QByteArray& b;
    bool little = true;

    bool has(qint64 at, qint64 n) const { return at >= 0 && n >= 0 && Base + at + n <= b.size(); }
    const uchar* p(qint64 at) const { return reinterpret_cast<const uchar*>(b.constData() + Base + at); }
    quint16 u16(qint64 at) const
    {
        return little ? qFromLittleEndian<quint16>(p(at)) : qFromBigEndian<quint16>(p(at));
    }
    quint32 u32(qint64 at) const
    {
        return little ? qFromLittleEndian<quint32>(p(at)) : qFromBigEndian<quint32>(p(at));
    }
    void put16(qint64 at, quint16 v)
    {
        little ? qToLittleEndian(v, b.data() + Base + at) : qToBigEndian(v, b.data() + Base + at);
    }
    void put32(qint64 at, quint32 v)
    {
        little ? qToLittleEndian(v, b.data() + Base + at) : qToBigEndian(v, b.data() + Base + at);
    }
};

struct Entry {
    qint64 at; // of the 12-byte entry
    quint16 tag, type;
    quint32 count;
    qint64 value() const { return at + 8; } // a value of 4 bytes or less lies here
};

struct Ifd {
    std::vector<Entry> entries;
    qint64 nextAt = -1; // where the link to the next directory lies
    const Entry* find(quint16 tag) const
    {
        for (const Entry& e : entries)
            if (e.tag == tag)
                return &e;
        return nullptr;
    }
};

std::optional<Tiff> openTiff(QByteArray& block)
{
    if (block.size() < Base + 8 || block.size() > MaxSegmentPayload ||
        std::memcmp(block.constData(), ExifHeader, sizeof ExifHeader) != 0)
        return std::nullopt;
    Tiff t{block};
    const QByteArray order = block.mid(Base, 2);
    if (order != "II" && order != "MM")
        return std::nullopt;
    t.little = order == "II";
    if (t.u16(2) != 42)
        return std::nullopt;
    return t;
}

std::optional<Ifd> readIfd(const Tiff& t, qint64 at)
{
    if (at <= 0 || !t.has(at, 2))
        return std::nullopt;
    const int count = t.u16(at);
    if (count == 0 || !t.has(at + 2, qint64(count) * 12 + 4))
        return std::nullopt;
    Ifd ifd;
    for (int i = 0; i < count; ++i) {
        const qint64 e = at + 2 + qint64(i) * 12;
        ifd.entries.push_back({e, t.u16(e), t.u16(e + 2), t.u32(e + 4)});
    }
    ifd.nextAt = at + 2 + qint64(count) * 12;
    return ifd;
}

std::optional<Ifd> firstIfd(const Tiff& t)
{
    return readIfd(t, t.u32(4));
}

std::optional<Ifd> linkedIfd(const Tiff& t, const Ifd& from, quint16 pointerTag)
{
    const Entry* e = from.find(pointerTag);
    if (!e || e->count != 1 || (e->type != TypeLong && e->type != 13)) // 13: IFD
        return std::nullopt;
    return readIfd(t, t.u32(e->value()));
}

std::optional<Ifd> secondIfd(const Tiff& t, const Ifd& first)
{
    return readIfd(t, t.u32(first.nextAt));
}

std::optional<quint32> number(const Tiff& t, const Entry* e)
{
    if (!e || e->count != 1)
        return std::nullopt;
    if (e->type == TypeShort)
        return t.u16(e->value());
    if (e->type == TypeLong)
        return t.u32(e->value());
    return std::nullopt;
}

void setNumber(Tiff& t, const Entry* e, quint32 v)
{
    if (!e || e->count != 1)
        return;
    if (e->type == TypeShort && v <= 0xFFFF)
        t.put16(e->value(), quint16(v));
    else if (e->type == TypeLong)
        t.put32(e->value(), v);
}

void setSize(Tiff& t, const Ifd& ifd, quint16 widthTag, quint16 heightTag, QSize size)
{
    if (!size.isValid())
        return;
    setNumber(t, ifd.find(widthTag), quint32(size.width()));
    setNumber(t, ifd.find(heightTag), quint32(size.height()));
}

void resetOrientation(Tiff& t, const Ifd& ifd)
{
    const Entry* e = ifd.find(TagOrientation);
    if (number(t, e).has_value())
        setNumber(t, e, 1);
}

// The two resolution values trade places where they lie; both must be
// rationals of one value, whose 8 bytes lie outside the entries.
void swapResolution(Tiff& t, const Ifd& ifd)
{
    const Entry* x = ifd.find(TagXResolution);
    const Entry* y = ifd.find(TagYResolution);
    constexpr quint16 Rational = 5;
    if (!x || !y || x->type != Rational || y->type != Rational || x->count != 1 || y->count != 1)
        return;
    const qint64 xAt = t.u32(x->value()), yAt = t.u32(y->value());
    if (!t.has(xAt, 8) || !t.has(yAt, 8))
        return;
    char* b = t.b.data() + Base;
    char held[8];
    std::memcpy(held, b + xAt, 8);
    std::memmove(b + xAt, b + yAt, 8);
    std::memcpy(b + yAt, held, 8);
}

struct Thumb {
    const Entry* offset;
    const Entry* length;
    qint64 at, size;
};

std::optional<Thumb> thumbOf(const Tiff& t, const Ifd& ifd1)
{
    Thumb th{ifd1.find(TagThumbOffset), ifd1.find(TagThumbLength), 0, 0};
    const auto at = number(t, th.offset), size = number(t, th.length);
    if (!at || !size || *size == 0 || !t.has(*at, *size))
        return std::nullopt;
    th.at = *at;
    th.size = *size;
    return th;
}

QSize jpegSize(const QByteArray& jpeg)
{
    // The first start-of-frame marker holds the size.
    qsizetype i = 2;
    while (i + 9 < jpeg.size() && uchar(jpeg[i]) == 0xFF) {
        const uchar m = uchar(jpeg[i + 1]);
        const int length = (uchar(jpeg[i + 2]) << 8) | uchar(jpeg[i + 3]);
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC)
            return QSize((uchar(jpeg[i + 7]) << 8) | uchar(jpeg[i + 8]),
                         (uchar(jpeg[i + 5]) << 8) | uchar(jpeg[i + 6]));
        i += 2 + length;
    }
    return QSize();
}

// Puts the new thumbnail in place of the old one: over it when it fits,
// else at the end of the block; the old bytes are cleared.
void replaceThumbnail(Tiff& t, const Ifd& first, const Ifd& ifd1, const Thumb& old,
                      const std::function<QByteArray(qsizetype)>& make)
{
    const bool last = Base + old.at + old.size == t.b.size();
    const qint64 aligned = (t.b.size() - Base + 1) & ~qint64(1);
    const qsizetype budget = last ? MaxSegmentPayload - (Base + old.at)
                                  : std::max<qsizetype>(old.size, MaxSegmentPayload - Base - aligned);
    const QByteArray thumb = budget > 0 ? make(budget) : QByteArray();
    if (thumb.isEmpty() || thumb.size() > budget) {
        // Without it the second directory would describe nothing.
        t.put32(first.nextAt, 0);
        return;
    }
    std::memset(t.b.data() + Base + old.at, 0, std::size_t(old.size));
    qint64 at = old.at;
    if (last) {
        t.b.resize(Base + old.at + thumb.size());
    } else if (thumb.size() > old.size) {
        at = aligned;
        t.b.resize(Base + aligned + thumb.size());
    }
    std::memcpy(t.b.data() + Base + at, thumb.constData(), std::size_t(thumb.size()));
    setNumber(t, old.offset, quint32(at));
    setNumber(t, old.length, quint32(thumb.size()));
    setSize(t, ifd1, TagWidth, TagHeight, jpegSize(thumb));
}

} // namespace

int exifOrientation(const QByteArray& exif)
{
    QByteArray block = exif;
    const std::optional<Tiff> t = openTiff(block);
    if (!t)
        return 1;
    const std::optional<Ifd> first = firstIfd(*t);
    const Entry* e = first ? first->find(TagOrientation) : nullptr;
    // The tag is a SHORT; any other type is no orientation we can trust.
    const std::optional<quint32> value = e && e->type == TypeShort ? number(*t, e) : std::nullopt;
    return value && isOrientation(int(*value)) ? int(*value) : 1;
}

QByteArray exifThumbnail(const QByteArray& exif)
{
    QByteArray block = exif;
    const std::optional<Tiff> t = openTiff(block);
    const std::optional<Ifd> first = t ? firstIfd(*t) : std::nullopt;
    const std::optional<Ifd> ifd1 = first ? secondIfd(*t, *first) : std::nullopt;
    const std::optional<Thumb> thumb = ifd1 ? thumbOf(*t, *ifd1) : std::nullopt;
    return thumb ? block.mid(Base + thumb->at, thumb->size) : QByteArray();
}

QByteArray editExif(const QByteArray& exif, const ExifChanges& changes)
{
    QByteArray block = exif;
    std::optional<Tiff> t = openTiff(block);
    const std::optional<Ifd> first = t ? firstIfd(*t) : std::nullopt;
    if (!first)
        return exif;
    if (changes.resetOrientation)
        resetOrientation(*t, *first);
    if (changes.swapResolution)
        swapResolution(*t, *first);
    setSize(*t, *first, TagWidth, TagHeight, changes.size);
    if (const std::optional<Ifd> sub = linkedIfd(*t, *first, TagExifIfd))
        setSize(*t, *sub, TagPixelX, TagPixelY, changes.size);
    const std::optional<Ifd> ifd1 = secondIfd(*t, *first);
    if (!ifd1)
        return block;
    if (changes.resetOrientation)
        resetOrientation(*t, *ifd1);
    // The thumbnail turns with the picture, or is made anew from it.
    if (changes.swapResolution)
        swapResolution(*t, *ifd1);
    if (const std::optional<Thumb> old = thumbOf(*t, *ifd1); old && changes.thumbnail)
        replaceThumbnail(*t, *first, *ifd1, *old, changes.thumbnail);
    return block;
}
