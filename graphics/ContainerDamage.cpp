#include "graphics/ContainerDamage.h"

#include "graphics/TiffStructure.h"

#include <QtEndian>

#include <algorithm>
#include <set>

namespace {

ContainerDamage endsEarly()
{
    return {PictureDamage::EndsEarly, damageReason(PictureDamage::EndsEarly)};
}

ContainerDamage corrupt(const QString& reason)
{
    return {PictureDamage::Corrupt, reason};
}

// Sub-blocks: a length byte, then that many bytes, until a zero length.
bool skipSubBlocks(const QByteArray& d, qsizetype& at)
{
    while (at < d.size()) {
        const int n = uchar(d[at++]);
        if (n == 0)
            return true;
        at += n;
    }
    return false;
}

ContainerDamage gif(const QByteArray& d)
{
    if (d.size() < 13)
        return endsEarly();
    qsizetype at = 13;
    const uchar flags = uchar(d[10]);
    if (flags & 0x80)
        at += 3 * (qsizetype(2) << (flags & 7));
    while (at < d.size()) {
        const uchar kind = uchar(d[at++]);
        if (kind == 0x3B) // trailer
            return {};
        if (kind == 0x21) { // extension: label, sub-blocks
            ++at;
            if (!skipSubBlocks(d, at))
                return endsEarly();
        } else if (kind == 0x2C) { // image: descriptor, colour table, code size, sub-blocks
            if (at + 9 > d.size())
                return endsEarly();
            const uchar local = uchar(d[at + 8]);
            at += 9;
            if (local & 0x80)
                at += 3 * (qsizetype(2) << (local & 7));
            ++at;
            if (!skipSubBlocks(d, at))
                return endsEarly();
        } else {
            return corrupt(QStringLiteral("its data is corrupt"));
        }
    }
    // A file whose last block is whole but lacks the trailer byte is read whole.
    return at > d.size() ? endsEarly() : ContainerDamage{};
}

ContainerDamage webp(const QByteArray& d)
{
    if (d.size() < 12)
        return endsEarly();
    // Writers that leave out the last chunk's padding byte are forgiven it.
    const quint64 riffEnd = qFromLittleEndian<quint32>(d.constData() + 4) + quint64(8);
    if (riffEnd > quint64(d.size()) + 1)
        return endsEarly();
    for (qsizetype at = 12; quint64(at) + 8 <= std::min<quint64>(riffEnd, d.size());) {
        const quint32 size = qFromLittleEndian<quint32>(d.constData() + at + 4);
        if (quint64(at) + 8 + size > quint64(d.size()))
            return endsEarly();
        at += 8 + qsizetype(size) + (size & 1);
    }
    return {};
}

// The values of a SHORT or LONG array tag.
QList<quint32> numbers(const TiffStructure& t, const TiffStructure::Entry& e)
{
    QList<quint32> out;
    if (e.type != 3 && e.type != 4)
        return out;
    const int size = e.type == 3 ? 2 : 4;
    for (qsizetype at = e.valueAt; at + size <= e.valueAt + e.size; at += size)
        out << (size == 2 ? t.read16(at) : t.read32(at));
    return out;
}

ContainerDamage tiff(const QByteArray& d)
{
    const TiffStructure t(d);
    if (!t.isValid())
        return endsEarly();
    // The chain of directories: a loop would never end.
    std::set<qsizetype> seen;
    for (qsizetype at = t.directoryAt(TiffStructure::Directory::First); at != 0;) {
        if (!seen.insert(at).second)
            return corrupt(QStringLiteral("its directories loop"));
        if (at + 2 > d.size())
            return endsEarly();
        const qsizetype next = at + 2 + qsizetype(t.read16(at)) * 12;
        if (next + 4 > d.size())
            return endsEarly();
        at = t.read32(next);
    }
    const QList<TiffStructure::Entry> entries = t.entries(TiffStructure::Directory::First);
    const auto find = [&](quint16 tag) {
        for (const TiffStructure::Entry& e : entries)
            if (e.tag == tag)
                return numbers(t, e);
        return QList<quint32>();
    };
    for (const auto& [offsetsTag, countsTag] : {std::pair<quint16, quint16>{273, 279}, {324, 325}}) {
        const QList<quint32> offsets = find(offsetsTag), counts = find(countsTag);
        for (qsizetype i = 0; i < offsets.size() && i < counts.size(); ++i) {
            if (quint64(offsets[i]) + counts[i] > quint64(d.size()))
                return endsEarly();
        }
    }
    return {};
}

ContainerDamage icon(const QByteArray& d)
{
    if (d.size() < 6)
        return endsEarly();
    const int count = qFromLittleEndian<quint16>(d.constData() + 4);
    if (6 + qsizetype(count) * 16 > d.size())
        return endsEarly();
    for (int i = 0; i < count; ++i) {
        const char* e = d.constData() + 6 + 16 * i;
        const quint32 size = qFromLittleEndian<quint32>(e + 8), offset = qFromLittleEndian<quint32>(e + 12);
        if (quint64(offset) + size > quint64(d.size()))
            return endsEarly();
    }
    return {};
}

// ISO media: top-level boxes, each within the file.
ContainerDamage isoMedia(const QByteArray& d)
{
    for (qsizetype at = 0; at < d.size();) {
        if (at + 8 > d.size())
            return endsEarly();
        quint64 size = qFromBigEndian<quint32>(d.constData() + at);
        if (size == 1) {
            if (at + 16 > d.size())
                return endsEarly();
            size = qFromBigEndian<quint64>(d.constData() + at + 8);
        } else if (size == 0) {
            return {};
        }
        if (size < 8)
            return corrupt(QStringLiteral("its data is corrupt"));
        if (size > quint64(d.size() - at))
            return endsEarly();
        at += qsizetype(size);
    }
    return {};
}

} // namespace

ContainerDamage containerDamage(const QByteArray& data, PictureFormat format)
{
    switch (format) {
    case PictureFormat::Gif:
        return gif(data);
    case PictureFormat::WebP:
        return webp(data);
    case PictureFormat::Tiff:
        return tiff(data);
    case PictureFormat::Icon:
        return icon(data);
    case PictureFormat::Heif:
    case PictureFormat::Avif:
        return isoMedia(data);
    default:
        return {};
    }
}
