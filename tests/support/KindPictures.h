#pragma once
// Pictures of every kind read, made at run time: PNG, WebP and TIFF by Qt's
// writers, HEIF and AVIF by libheif's encoders, with the EXIF blocks,
// chunks and profiles their readers look for.
#include <QByteArray>
#include <QColorSpace>
#include <QImage>

#include <vector>

namespace kinds {
// Quadrants red, green, blue and white, in reading order: a picture whose
// corners tell how it was turned ("RGBW" as stored).
QImage quadrants(int w, int h, QImage::Format format = QImage::Format_RGB32);
// The corners' colours in reading order, one letter each (R, G, B, W, T
// for transparent, or ?).
QString corners(const QImage& image);

QByteArray encoded(const QImage& image, const char* format, int quality = -1);
// A PNG of `image` whose rows are stored in the seven interlace passes.
QByteArray interlacedPng(const QImage& image);
// A TIFF whose orientation tag reads `orientation`.
QByteArray tiff(const QImage& image, int orientation, bool compressed = true);
// HEVC (HEIF) or AV1 (AVIF) at high quality, with irot/imir properties for
// `orientation`, `icc` as its profile and, when given, `thumbnail` at half
// its size as its embedded thumbnail.
QByteArray heif(const QImage& image, bool avif, int orientation = 1, const QByteArray& icc = {},
                const QImage& thumbnail = {});

// An EXIF block (a TIFF structure, no "Exif\0\0") with an orientation tag
// and, with `adobeRgb`, EXIF's Adobe RGB mark.
QByteArray exifBlock(bool bigEndian, int orientation, bool adobeRgb = false);
// `png` with a chunk added before its first IDAT.
QByteArray withPngChunk(const QByteArray& png, const char* type, const QByteArray& data);
// A lossless WebP of `image` in the extended layout, with an EXIF chunk
// and an ICC profile where given.
QByteArray webp(const QImage& image, const QByteArray& exif, const QByteArray& icc = {});

// A one-page TIFF written by libtiff: `rows` packed as the file keeps them
// (16-bit samples in the machine's order), with these tags.
struct TiffLayout {
    int width = 0, height = 0, bits = 8, samples = 3, photometric = 2; // PHOTOMETRIC_*
    std::vector<unsigned short> extraSamples;                          // EXTRASAMPLE_*
    QByteArray icc;
    float xResolution = 72, yResolution = 72;
    int sampleFormat = 1; // SAMPLEFORMAT_*
};
QByteArray tiffOf(const TiffLayout& layout, const QByteArray& rows);

// The values of `stored` in `space` as sRGB, as the screen should get them.
QRgb inSrgb(QRgb stored, const QColorSpace& space);
} // namespace kinds
