#pragma once
// A JPEG's EXIF block (the APP1 payload that starts "Exif\0\0"), read and
// rewritten by libexif. A block libexif can make nothing of counts as absent.
#include <QByteArray>
#include <QSize>

// The orientation tag, 1..8; 1 when absent, out of range or unreadable.
int exifOrientation(const QByteArray& exif);

// The block to go with pixels rewritten at `size`: width and height tags
// that exist give the new size, the thumbnail (which no longer matches) is
// dropped, and with `resetOrientation` the orientation tag reads 1. Empty
// when the block can't be read, or would not fit in a JPEG segment.
QByteArray rewriteExif(const QByteArray& exif, QSize size, bool resetOrientation);
