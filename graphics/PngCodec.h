#pragma once
// PNG through libpng itself, with its limits set before it reads a byte:
// the picture limit checked on the header's size, a cap on what one chunk
// may allocate and on how many are kept, the text and profile chunks left
// unread (PngChunks reads those, bounded). The bytes are pushed into
// libpng's progressive reader a block at a time and the pushing stops at
// the last row, so data after it (surplus IDAT) is never inflated.
#include "graphics/PictureDamage.h"
#include "graphics/SampleRaster.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>

#include <atomic>
#include <functional>
#include <png.h>

struct PngHeader {
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    int colourType = 0; // PNG_COLOR_TYPE_*
    bool interlaced = false;
};

// Throws PictureError: not a PNG, damaged, or past the picture limit.
PngHeader readPngHeader(const QByteArray& data);

// The whole picture: 8-bit files as Grayscale8, RGB32 or ARGB32 (straight
// alpha, tRNS and palettes expanded), 16-bit ones as Grayscale16, RGBX64 or
// RGBA64. A file that ends early or whose data is corrupt decodes as far
// as it goes (the rest transparent) and `damage` says what is wrong;
// without `damage` such a file throws. Throws PictureError.
QImage decodePng(const QByteArray& data, PictureDamage* damage = nullptr);

// How a PNG stores its samples, and its palette and transparency chunks.
struct PngLayout {
    int bitDepth = 8;
    int colourType = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    QByteArray palette;      // PLTE: three bytes an entry
    QByteArray transparency; // tRNS as stored
    int channels() const;
    int bitsPerPixel() const { return channels() * bitDepth; }
};

// The rows exactly as stored (after interlacing is undone) and their
// layout. Throws PictureError, also for a file that is damaged.
SampleRaster readPngSamples(const QByteArray& data, PngLayout* layout);
// A PNG of IHDR, PLTE, tRNS, IDAT and IEND holding `samples` in `layout`.
// Throws PictureError when libpng refuses it.
QByteArray encodePngSamples(const SampleRaster& samples, const PngLayout& layout);

namespace png {
// One progressive read. `prepare` runs once the header is read, before
// any row: it sets libpng's transformations and answers false to read no
// further (it must not throw: libpng's frames lie between). `row` gets each
// row as libpng hands it over (all passes of an interlaced file, each row
// at full width; with `passes`, at the pass's own width, `y` counted within
// the pass: see adam7Pixel).
struct Progressive {
    std::function<bool(png_structp, png_infop, const PngHeader&)> prepare;
    std::function<void(png_structp, png_bytep row, png_uint_32 y, int pass)> row;
    const std::atomic<bool>* stop = nullptr;
    bool passes = false;
};
// Where pixel `k` of row `y` of interlace pass `pass` (0-6) lies in the picture.
inline QPoint adam7Pixel(int pass, int k, int y)
{
    constexpr int xStart[7] = {0, 4, 0, 2, 0, 1, 0}, xStep[7] = {8, 8, 4, 4, 2, 2, 1};
    constexpr int yStart[7] = {0, 0, 4, 0, 2, 0, 1}, yStep[7] = {8, 8, 8, 4, 4, 2, 2};
    return QPoint(xStart[pass] + k * xStep[pass], yStart[pass] + y * yStep[pass]);
}
enum class Outcome { Complete, Stopped, EndsEarly, Corrupt, NotPng, BadHeader };
// Reads `data` as far as `p` wants; `header` learns the header when it was read.
Outcome readProgressively(const QByteArray& data, Progressive& p, PngHeader* header);
// For `prepare`: rows as 8-bit RGBA, straight alpha (opaque where the file
// has none). Answers whether the file has any alpha.
bool expandToRgba(png_structp png, png_infop info, const PngHeader& header);
} // namespace png
