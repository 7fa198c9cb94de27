#pragma once
// PNG and TIFF files written back in their own format with new pixels, a
// quarter turn (exact) or an effect's result, with everything else the file
// holds kept: text, ICC profile, EXIF, resolution, other chunks and tags.
#include "graphics/Picture.h"

// Whether a rotation or an effect writes `picture` back: JPEG, bitmaps,
// PNG (not animated) and TIFF (one page). GIF, WebP, HEIF, AVIF and icons
// are shown but never rewritten.
bool pictureRewritable(const Picture& picture);
// Whether a run over many files passes `path` by: it holds a kind that is
// shown but never written, or a PNG or TIFF whose rewrite would lose
// frames or pages. A file that can't be read is not passed by: its reader
// tells what is wrong when its turn comes.
bool pictureFilePassedBy(const QString& path);
// The bytes of the file `picture` was read from (PNG or TIFF), its pixels
// as shown turned clockwise by `angle` (a multiple of 90). Every value is
// kept, bit depth and alpha too; an applied EXIF orientation reads 1 and
// the resolution and pixel dimensions follow the turn. Throws AppError
// when the picture can't be decoded, or is an animated PNG (whose frames
// a rewrite would lose). A JPEG's blocks are moved where they can move
// whole, else it is coded again (see Picture::turnedLosslessly); empty
// when that found it damaged. A picture read by a loader is rewritten by
// one (as are the two below).
QByteArray turnedPictureFile(const Picture& picture, int angle);
// The same file with `pixels` (as shown) in place of its own, its alpha
// channel kept where the size is unchanged.
QByteArray pictureFileWithPixels(const Picture& picture, const Bitmap24& pixels);
// A new PNG of `pixels`, with the colour profile of `source` (any kind).
QByteArray newPngFile(const Bitmap24& pixels, const Picture& source);
