#pragma once
// JPEG a band of rows at a time, for work that never holds a whole frame.
// Rows are blue, green, red, as in Bitmap24; the pixels and bytes are those
// of decodeJpeg and encodeJpeg. Errors throw AppError("JPEG error #%d").
#include "graphics/JpegCodec.h"

#include <QByteArray>
#include <QSize>
#include <cstdint>
#include <memory>

class Picture;

class JpegBandReader {
public:
    // `data` must outlive the reader.
    explicit JpegBandReader(const QByteArray& data);
    ~JpegBandReader();
    int width() const noexcept;
    int height() const noexcept;
    // False for CMYK and YCCK files, which only decodeJpeg turns into colour.
    bool colour() const noexcept;
    // The next `count` rows, row i at `bits + i * stride`; rows a truncated
    // file no longer holds are black.
    void read(std::uint8_t* bits, std::ptrdiff_t stride, int count);
    // After the last row: what the decoder still has to say about the file.
    void finish();
    // What the rows read so far found wrong with the file.
    PictureDamage damage() const noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

class JpegBandWriter {
public:
    // Appends the JPEG to `out` as rows come.
    JpegBandWriter(QSize size, int quality, const JpegMetadata& metadata, QByteArray& out);
    ~JpegBandWriter();
    void write(const std::uint8_t* bits, std::ptrdiff_t stride, int count);
    void finish();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// What Picture::encodeJpegReplacement keeps of `source` for pixels of
// `size`: its segments (see keptSegments; the resolutions swapped after a
// `quarterTurn`), its colour space and sampling factors, and the size of
// the thumbnail to make from the new pixels (invalid: none).
struct JpegReplacement {
    JpegMetadata metadata;
    QSize thumbnail;
};
JpegReplacement jpegReplacement(const Picture& source, QSize size, bool quarterTurn = false);
// `jpeg` with its EXIF thumbnail replaced by `thumbnail`, or removed when
// that can't fit.
QByteArray withExifThumbnail(const QByteArray& jpeg, const Bitmap24& thumbnail);
