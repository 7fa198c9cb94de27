#pragma once
// JPEG through libjpeg. Errors throw AppError("JPEG error #%d") with
// libjpeg's message code; a truncated file is only a warning and decodes.
#include "graphics/Bitmap24.h"
#include "graphics/PictureDamage.h"

#include <QByteArray>
#include <QList>
#include <QRect>

#include <atomic>

struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0;
    QByteArray exif; // the first APP1 payload that starts "Exif\0\0"
};

// One marker segment: its marker code (0xE0..0xEF for APP0..APP15, 0xFE
// for a comment) and its payload after the two length bytes.
struct JpegSegment {
    int marker = 0;
    QByteArray payload;
    bool operator==(const JpegSegment&) const = default;
};

// The marker segments a new JPEG is written with, after its start marker.
// `ownJfif`: libjpeg's JFIF header comes first, as for a picture of our
// own; a rewrite of a JPEG writes the source's segments instead.
struct JpegMetadata {
    bool ownJfif = true;
    QList<JpegSegment> segments;
};

// Refuses colour layouts that decodeJpeg could not turn into colour.
JpegInfo readJpegHeader(const QByteArray& data);
// scaleDenom 1, 2, 4 or 8: libjpeg's DCT scaling. When `stop` turns true
// the decode gives up and answers an empty bitmap. A damaged file decodes
// as far as it goes; `damage` learns what is wrong with it.
Bitmap24 decodeJpeg(const QByteArray& data, int scaleDenom = 1, const std::atomic<bool>* stop = nullptr,
                    PictureDamage* damage = nullptr);
// What a decode of `data` would find wrong, from its entropy-coded data
// alone (no pixels are made). Throws like readJpegHeader.
PictureDamage scanJpegDamage(const QByteArray& data);
// Full-scale pixels of `*region` (stored layout) only: rows above it are
// skipped and columns outside it mostly not decoded; the pixels are those
// of a whole decode. The region comes back clipped to the picture.
Bitmap24 decodeJpegBand(const QByteArray& data, QRect* region);
// True for a sequential Huffman-coded JPEG whose tables are all the standard
// ones (what libjpeg writes by default, and most cameras); false when they
// were fitted to the picture. Throws like readJpegHeader.
bool usesStandardHuffmanTables(const QByteArray& data);
// The same coefficients and markers with Huffman tables fitted to the data:
// smaller, and decoding to the same pixels. Throws like readJpegHeader.
QByteArray recodeJpegOptimized(const QByteArray& data);
// Quality 90, baseline, colour (JCS_RGB, 3 components), with the segments
// of `metadata` after the start marker.
QByteArray encodeJpeg(const Bitmap24& bitmap, int quality = 90, const JpegMetadata& metadata = {});
