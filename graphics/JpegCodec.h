#pragma once
// JPEG through libjpeg. Errors throw AppError("JPEG error #%d") with
// libjpeg's message code; a truncated file is only a warning and decodes.
#include "graphics/Bitmap24.h"

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

// What a JPEG carries besides its pixels that a rewrite keeps: the EXIF
// block and the ICC profile's APP2 payloads, in file order.
struct JpegMetadata {
    QByteArray exif;
    QList<QByteArray> icc;
};

// Refuses colour layouts that decodeJpeg could not turn into colour.
JpegInfo readJpegHeader(const QByteArray& data);
// Throws like readJpegHeader.
JpegMetadata readJpegMetadata(const QByteArray& data);
// scaleDenom 1, 2, 4 or 8: libjpeg's DCT scaling. When `stop` turns true
// the decode gives up and answers an empty bitmap.
Bitmap24 decodeJpeg(const QByteArray& data, int scaleDenom = 1, const std::atomic<bool>* stop = nullptr);
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
// Quality 90, baseline, colour (JCS_RGB, 3 components). With an EXIF block
// it comes first after the start marker, in place of the JFIF one.
QByteArray encodeJpeg(const Bitmap24& bitmap, int quality = 90, const JpegMetadata& metadata = {});
