#pragma once
// JPEG through libjpeg. Errors throw PictureError in words (jpegFailure),
// with libjpeg's "JPEG error #%d" where it tells more; a truncated file is
// only a warning and decodes. Every decompressor has its limits set before
// it reads (see jpegerr::limitDecoder).
#include "graphics/Bitmap24.h"
#include "graphics/PictureDamage.h"
#include "graphics/PictureError.h"

#include "graphics/SampleRaster.h"

#include <QByteArray>
#include <QList>
#include <QRect>

#include <array>
#include <atomic>
#include <optional>

// How a JPEG codes its samples: what a re-encoding keeps.
struct JpegEncoding {
    int colourSpace = 3; // libjpeg's J_COLOR_SPACE of the file: JCS_YCbCr, JCS_GRAYSCALE, JCS_RGB, JCS_CMYK, JCS_YCCK
    int components = 3;
    std::array<int, 4> h{2, 1, 1, 1}, v{2, 1, 1, 1}; // sampling factors
    bool adobe = false; // an Adobe marker: CMYK values stored inverted
    bool cmyk() const noexcept { return components == 4; }
    bool operator==(const JpegEncoding&) const = default;
};

struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0;
    QByteArray exif; // the first APP1 payload that starts "Exif\0\0"
    JpegEncoding encoding;
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
// `encoding`: the colour space and sampling factors to write; without one,
// libjpeg's colour defaults (YCbCr, 4:2:0).
struct JpegMetadata {
    bool ownJfif = true;
    QList<JpegSegment> segments;
    std::optional<JpegEncoding> encoding = std::nullopt;
};

// A JPEG file behind a descriptor, read with pread (the offset may be
// shared) a buffer at a time: a decode of it never holds the whole file.
struct JpegFile {
    int fd = -1;
    qint64 size = 0;
};
// The file whole, and its head: every marker segment up to and including
// the first scan's header, which is all readJpegHeader and
// readJpegSegments need (the whole file where its markers don't lead there).
QByteArray readJpegFile(const JpegFile& file);
QByteArray readJpegHead(const JpegFile& file);

// What libjpeg's error `code` means for the picture, in words.
PictureError jpegFailure(int code);
// The scans of a JPEG's data, counted by its markers up to `atMost`.
int jpegScanCount(const QByteArray& data, int atMost);

// Refuses colour layouts that decodeJpeg could not turn into colour.
JpegInfo readJpegHeader(const QByteArray& data);
// scaleDenom 1, 2, 4 or 8: libjpeg's DCT scaling. When `stop` turns true
// the decode gives up and answers an empty bitmap. A damaged file decodes
// as far as it goes; `damage` learns what is wrong with it.
Bitmap24 decodeJpeg(const QByteArray& data, int scaleDenom = 1, const std::atomic<bool>* stop = nullptr,
                    PictureDamage* damage = nullptr);
Bitmap24 decodeJpeg(const JpegFile& file, int scaleDenom, const std::atomic<bool>* stop, PictureDamage* damage);
// What a decode of `data` would find wrong, from its entropy-coded data
// alone (no pixels are made). Throws like readJpegHeader.
PictureDamage scanJpegDamage(const QByteArray& data);
// The pixels of `*region` only, in the stored layout scaled by 1/scaleDenom
// (1, 2, 4 or 8, as decodeJpeg scales): rows above it are skipped and
// columns outside it mostly not decoded; the pixels are those of a whole
// decode at that scale. The region comes back clipped to the picture.
Bitmap24 decodeJpegBand(const QByteArray& data, QRect* region, int scaleDenom = 1);
Bitmap24 decodeJpegBand(const JpegFile& file, QRect* region, int scaleDenom = 1);
// True for a sequential Huffman-coded JPEG whose tables are all the standard
// ones (what libjpeg writes by default, and most cameras); false when they
// were fitted to the picture. Throws like readJpegHeader.
bool usesStandardHuffmanTables(const QByteArray& data);
// The same coefficients and markers with Huffman tables fitted to the data:
// smaller, and decoding to the same pixels. Throws like readJpegHeader.
QByteArray recodeJpegOptimized(const QByteArray& data);
// Quality 90, baseline, colour (JCS_RGB, 3 components), or as
// `metadata.encoding` says (grey or colour; not CMYK, which needs its inks:
// encodeJpegSamples), with the segments of `metadata` after the start marker.
QByteArray encodeJpeg(const Bitmap24& bitmap, int quality = 90, const JpegMetadata& metadata = {});

// The samples as the file's colour space gives them, 8 bits each: grey,
// RGB, or CMYK inks as stored (inverted where `encoding.adobe`). A damaged
// file decodes as far as it goes and `damage` says so.
SampleRaster decodeJpegSamples(const QByteArray& data, JpegEncoding* encoding, PictureDamage* damage = nullptr);
// Such samples coded as `metadata.encoding` says (which must be set and
// have as many components).
QByteArray encodeJpegSamples(const SampleRaster& samples, int quality, const JpegMetadata& metadata);
