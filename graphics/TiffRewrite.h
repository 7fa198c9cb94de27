#pragma once
// A TIFF with new pixels in the layout of its first page: libtiff writes
// the samples (TiffSamples), and the first directory of the old file lends
// every tag that does not describe the old pixel layout (text, ICC
// profile, resolution, EXIF and GPS directories).
#include "graphics/Bitmap24.h"

#include <QByteArray>

// Whether the file can be rewritten so: one page, a readable structure.
bool tiffRewritable(const QByteArray& file);
// The first page's samples laid out by `transform` (an orientation, 1..8):
// every value kept. `quarterTurn` swaps the resolution; `resetOrientation`
// makes the orientation tag read 1. Throws PictureError.
QByteArray turnedTiff(const QByteArray& original, int transform, bool quarterTurn, bool resetOrientation);
// `pixels` (the page brought upright by `orientation`, then changed) in the
// page's own layout: its bit depth, colour model (CMYK inks keep the old
// black where they can), extra samples and compression; where the layout
// can't hold the new colours (a palette, a grey page made colourful) the
// smallest one that loses nothing of it. Throws PictureError, naming what
// a layout that can't be written would lose.
QByteArray tiffWithColours(const QByteArray& original, int orientation, const Bitmap24& pixels,
                           bool resetOrientation);
