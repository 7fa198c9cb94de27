#include "graphics/TiffRewrite.h"

#include "core/Errors.h"
#include "graphics/TiffStructure.h"

#include <QBuffer>
#include <QImageWriter>

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

QByteArray encodedTiff(const QImage& pixels, bool compressed)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    writer.setCompression(compressed ? 1 : 0); // LZW or none
    if (!writer.write(pixels))
        throw AppError(msg::pictureNotValid(writer.errorString()));
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

QByteArray tiffWithPixels(const QByteArray& original, const QImage& pixels, bool quarterTurn,
                          bool resetOrientation)
{
    if (!tiffRewritable(original))
        throw AppError(msg::pictureNotValid(QStringLiteral("Only single-page TIFF files are rewritten.")));
    const TiffStructure old(original);
    const bool compressed = old.number(D::First, 259).value_or(1) != 1;
    const TiffStructure fresh(encodedTiff(pixels, compressed));
    if (!fresh.isValid())
        throw AppError(msg::pictureNotValid(QStringLiteral("The TIFF encoder failed.")));
    Writer w(fresh);

    NewDirectory dir;
    for (const Entry& e : fresh.entries(D::First)) {
        if (describesPixels(e.tag))
            dir[e.tag] = {e.type, e.count, w.valueOf(fresh, e)};
    }
    for (const Entry& e : old.entries(D::First)) {
        if (describesPixels(e.tag) || e.tag == tifftag::ExifIfd || e.tag == tifftag::GpsIfd)
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
        if (const quint32 at = copyDirectory(w, old, sub, pixels.size()))
            dir[tag] = {4, 1, w.number32(at)};
    }
    const quint32 first = w.write(dir);
    fresh.put32(w.bytes(), 4, first);
    return w.bytes();
}
