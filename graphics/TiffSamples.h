#pragma once
// A TIFF's first page as its samples, read and written by libtiff in the
// layout the file has: the bit depth, the colour model (grey, RGB, a
// palette, CMYK), the extra samples (alpha associated or not) and the
// compression stay what they were. Only the rewrite reads this way: the
// picture is shown through Qt's plugin.
#include "graphics/SampleRaster.h"

#include <QByteArray>
#include <QImage>
#include <QRect>

#include <cstdint>
#include <vector>

struct TiffLayout {
    int bitsPerSample = 8;
    int samplesPerPixel = 3;
    int photometric = 2; // PHOTOMETRIC_*
    int compression = 1; // as it will be written
    int predictor = 1;
    int inkSet = 1; // of a separated (CMYK) page
    bool bigEndian = false;
    std::vector<std::uint16_t> extraSamples; // EXTRASAMPLE_* each
    std::vector<std::uint16_t> colourMap;    // red, green, blue entries one after the other

    int colourSamples() const { return samplesPerPixel - int(extraSamples.size()); }
    int bitsPerPixel() const { return bitsPerSample * samplesPerPixel; }
    // Where the alpha sample is among the extra ones, or -1.
    int alphaIndex() const;
    bool alphaAssociated() const;
};

// The first page's samples, contiguous, 16-bit samples big-endian as in
// PNG. Throws PictureError: "uses a layout Pictavo can't write (…)" naming
// what a rewrite would lose (floating-point samples, YCbCr, Lab…), or the
// damage libtiff found.
SampleRaster readTiffSamples(const QByteArray& data, TiffLayout* layout);
// A CMYK first page (any bit depth the reader keeps) as 8-bit RGB, or ARGB
// where it has alpha, by the same naive reading as 8-bit pages; null for
// another layout. Qt's plugin reads only 8-bit inks.
QImage cmykTiffImage(const QByteArray& data);
// The first page's pixels of `*band` (see PictureBands.h), read by libtiff a
// strip or tile at a time; null where libtiff can't read it so or it is
// damaged there.
QImage decodeTiffBand(const QByteArray& data, QRect* band, int denom);
// A one-page TIFF of `samples` in `layout`, with nothing else in it.
QByteArray encodeTiffSamples(const SampleRaster& samples, const TiffLayout& layout);
