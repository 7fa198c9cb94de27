#pragma once
// The directories of a TIFF structure: a TIFF file, or an EXIF block (a
// JPEG's after "Exif\0\0", a PNG's eXIf chunk, a WebP's EXIF chunk). Tags
// are read, and small numbers changed where they stand, so that nothing
// else moves: maker notes may count their offsets from the header.
#include <QByteArray>
#include <QList>
#include <QSize>

#include <optional>

class TiffStructure {
public:
    enum class Directory { First, Exif, Interop, Gps };
    struct Entry {
        quint16 tag = 0;
        quint16 type = 0;
        quint32 count = 0;
        qsizetype at = 0;      // of the 12-byte entry
        qsizetype valueAt = 0; // of its value: inside the entry, or where it points
        qsizetype size = 0;    // of its value in bytes
    };

    // `bytes` start at the "II" or "MM" header. Only classic TIFF (not
    // BigTIFF); directories that point outside the bytes count as absent.
    explicit TiffStructure(QByteArray bytes);
    bool isValid() const noexcept { return m_first > 0; }
    bool bigEndian() const noexcept { return m_big; }
    const QByteArray& bytes() const noexcept { return m_bytes; }

    // Where a directory starts (its entry count), or 0 when absent.
    qsizetype directoryAt(Directory d) const;
    QList<Entry> entries(Directory d) const;
    std::optional<Entry> entry(Directory d, quint16 tag) const;
    // The first value of a BYTE, SHORT or LONG tag.
    std::optional<quint32> number(Directory d, quint16 tag) const;
    QByteArray value(const Entry& e) const { return m_bytes.mid(e.valueAt, e.size); }
    // Changes a SHORT or LONG tag's first value in place; false when the
    // tag is absent or can't hold it.
    bool setNumber(Directory d, quint16 tag, quint32 value);
    // Swaps the values of two tags of the same type and count in place.
    bool swapValues(Directory d, quint16 a, quint16 b);

    quint16 read16(qsizetype at) const;
    quint32 read32(qsizetype at) const;
    void put16(QByteArray& bytes, qsizetype at, quint16 v) const;
    void put32(QByteArray& bytes, qsizetype at, quint32 v) const;

    static int typeSize(quint16 type);

private:
    bool inside(qsizetype at, qsizetype size) const;
    qsizetype pointerOf(Directory parent, quint16 tag) const;

    QByteArray m_bytes;
    bool m_big = false;
    qsizetype m_first = 0;
};

// Tags the program reads or changes.
namespace tifftag {
constexpr quint16 ImageWidth = 256, ImageLength = 257, Orientation = 274, XResolution = 282,
                  YResolution = 283, ExifIfd = 34665, GpsIfd = 34853, IccProfile = 34675, ColorSpace = 0xA001,
                  PixelXDimension = 0xA002, PixelYDimension = 0xA003, InteropIfd = 0xA005,
                  InteropIndex = 0x0001;
}

// The orientation tag of the first directory, 1..8; 1 when absent.
int tiffOrientation(const TiffStructure& tiff);
// EXIF's mark for Adobe RGB (1998): colour space "uncalibrated" (65535)
// with the interoperability index "R03".
bool tiffMarksAdobeRgb(const TiffStructure& tiff);
// An EXIF block's TIFF structure with, in place, the orientation set to 1
// (when `resetOrientation`), the pixel dimensions that are there set to
// `size`, and after a quarter turn the two resolutions swapped; nothing
// else changes, so its size stays.
QByteArray exifForNewPixels(const QByteArray& tiff, QSize size, bool resetOrientation, bool quarterTurn);
