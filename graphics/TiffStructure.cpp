#include "graphics/TiffStructure.h"

#include "graphics/Orientation.h"

#include <QtEndian>

TiffStructure::TiffStructure(QByteArray bytes) : m_bytes(std::move(bytes))
{
    if (m_bytes.size() < 8)
        return;
    if (m_bytes.startsWith("MM"))
        m_big = true;
    else if (!m_bytes.startsWith("II"))
        return;
    if (read16(2) != 42)
        return;
    const qsizetype first = read32(4);
    if (first >= 8 && inside(first, 2))
        m_first = first;
}

bool TiffStructure::inside(qsizetype at, qsizetype size) const
{
    return at >= 0 && size >= 0 && at <= m_bytes.size() && size <= m_bytes.size() - at;
}

quint16 TiffStructure::read16(qsizetype at) const
{
    const auto* p = m_bytes.constData() + at;
    return m_big ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
}

quint32 TiffStructure::read32(qsizetype at) const
{
    const auto* p = m_bytes.constData() + at;
    return m_big ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
}

void TiffStructure::put16(QByteArray& bytes, qsizetype at, quint16 v) const
{
    m_big ? qToBigEndian(v, bytes.data() + at) : qToLittleEndian(v, bytes.data() + at);
}

void TiffStructure::put32(QByteArray& bytes, qsizetype at, quint32 v) const
{
    m_big ? qToBigEndian(v, bytes.data() + at) : qToLittleEndian(v, bytes.data() + at);
}

int TiffStructure::typeSize(quint16 type)
{
    switch (type) {
    case 1: // BYTE
    case 2: // ASCII
    case 6: // SBYTE
    case 7: // UNDEFINED
        return 1;
    case 3: // SHORT
    case 8: // SSHORT
        return 2;
    case 4:  // LONG
    case 9:  // SLONG
    case 11: // FLOAT
    case 13: // IFD
        return 4;
    case 5:  // RATIONAL
    case 10: // SRATIONAL
    case 12: // DOUBLE
        return 8;
    default:
        return 0;
    }
}

qsizetype TiffStructure::pointerOf(Directory parent, quint16 tag) const
{
    const std::optional<quint32> at = number(parent, tag);
    return at && *at >= 8 && inside(qsizetype(*at), 2) ? qsizetype(*at) : 0;
}

qsizetype TiffStructure::directoryAt(Directory d) const
{
    switch (d) {
    case Directory::First:
        return m_first;
    case Directory::Exif:
        return pointerOf(Directory::First, tifftag::ExifIfd);
    case Directory::Gps:
        return pointerOf(Directory::First, tifftag::GpsIfd);
    case Directory::Interop:
        return directoryAt(Directory::Exif) ? pointerOf(Directory::Exif, tifftag::InteropIfd) : 0;
    }
    return 0;
}

QList<TiffStructure::Entry> TiffStructure::entries(Directory d) const
{
    QList<Entry> out;
    const qsizetype start = directoryAt(d);
    if (start == 0)
        return out;
    const int count = read16(start);
    for (int i = 0; i < count; ++i) {
        Entry e;
        e.at = start + 2 + qsizetype(i) * 12;
        if (!inside(e.at, 12))
            break;
        e.tag = read16(e.at);
        e.type = read16(e.at + 2);
        e.count = read32(e.at + 4);
        const qint64 size = qint64(typeSize(e.type)) * e.count;
        if (size == 0 || size > m_bytes.size())
            continue;
        e.size = qsizetype(size);
        e.valueAt = size <= 4 ? e.at + 8 : qsizetype(read32(e.at + 8));
        if (inside(e.valueAt, e.size))
            out.append(e);
    }
    return out;
}

std::optional<TiffStructure::Entry> TiffStructure::entry(Directory d, quint16 tag) const
{
    for (const Entry& e : entries(d)) {
        if (e.tag == tag)
            return e;
    }
    return std::nullopt;
}

std::optional<quint32> TiffStructure::number(Directory d, quint16 tag) const
{
    const std::optional<Entry> e = entry(d, tag);
    if (!e)
        return std::nullopt;
    switch (e->type) {
    case 1:
        return quint8(m_bytes[e->valueAt]);
    case 3:
        return read16(e->valueAt);
    case 4:
    case 13:
        return read32(e->valueAt);
    default:
        return std::nullopt;
    }
}

bool TiffStructure::setNumber(Directory d, quint16 tag, quint32 value)
{
    const std::optional<Entry> e = entry(d, tag);
    if (e && e->type == 3 && value <= 0xFFFF)
        put16(m_bytes, e->valueAt, quint16(value));
    else if (e && e->type == 4)
        put32(m_bytes, e->valueAt, value);
    else
        return false;
    return true;
}

bool TiffStructure::swapValues(Directory d, quint16 a, quint16 b)
{
    const std::optional<Entry> x = entry(d, a), y = entry(d, b);
    if (!x || !y || x->type != y->type || x->count != y->count)
        return false;
    const QByteArray first = value(*x);
    m_bytes.replace(x->valueAt, x->size, value(*y));
    m_bytes.replace(y->valueAt, y->size, first);
    return true;
}

int tiffOrientation(const TiffStructure& tiff)
{
    const std::optional<quint32> v = tiff.number(TiffStructure::Directory::First, tifftag::Orientation);
    return v && isOrientation(int(*v)) ? int(*v) : 1;
}

bool tiffMarksAdobeRgb(const TiffStructure& tiff)
{
    using D = TiffStructure::Directory;
    if (tiff.number(D::Exif, tifftag::ColorSpace) != 0xFFFFu)
        return false;
    const std::optional<TiffStructure::Entry> index = tiff.entry(D::Interop, tifftag::InteropIndex);
    return index && tiff.value(*index).startsWith("R03");
}

QByteArray exifForNewPixels(const QByteArray& tiff, QSize size, bool resetOrientation, bool quarterTurn)
{
    using D = TiffStructure::Directory;
    TiffStructure s(tiff);
    if (!s.isValid())
        return tiff;
    if (resetOrientation)
        s.setNumber(D::First, tifftag::Orientation, 1);
    s.setNumber(D::Exif, tifftag::PixelXDimension, quint32(size.width()));
    s.setNumber(D::Exif, tifftag::PixelYDimension, quint32(size.height()));
    if (quarterTurn)
        s.swapValues(D::First, tifftag::XResolution, tifftag::YResolution);
    return s.bytes();
}
