#pragma once
// A TIFF file with new pixels: Qt's plugin encodes them, and the first
// directory of the old file lends every tag that does not describe the old
// pixel layout (text, ICC profile, resolution, EXIF and GPS directories).
#include <QByteArray>
#include <QImage>

// Whether the file can be rewritten so: one page, a readable structure.
bool tiffRewritable(const QByteArray& file);
// `pixels` in a TIFF that keeps `original`'s tags; LZW where the old file
// was compressed. `quarterTurn` swaps the resolution; `resetOrientation`
// makes the orientation tag read 1. Throws AppError.
QByteArray tiffWithPixels(const QByteArray& original, const QImage& pixels, bool quarterTurn,
                          bool resetOrientation);
