#pragma once
// Camera orientations: the eight EXIF values, each naming the turn or mirror
// that brings the stored pixels upright (1 none, 2 mirror left-right, 3 half
// turn, 4 mirror top-bottom, 5 transpose, 6 quarter turn clockwise,
// 7 transverse, 8 quarter turn counter-clockwise).
#include "graphics/Bitmap24.h"

#include <QSize>

inline bool isOrientation(int value) noexcept
{
    return value >= 1 && value <= 8;
}
// Orientations 5 to 8 swap width and height.
inline QSize orientedSize(QSize stored, int orientation) noexcept
{
    return orientation >= 5 ? stored.transposed() : stored;
}

// The stored pixels brought upright; anything but 2..8 copies them as they are.
Bitmap24 orientBitmap(Bitmap24 stored, int orientation);
// The same for any image, its format kept.
QImage orientImage(const QImage& stored, int orientation);

// The single orientation that does `orientation` and then turns the result
// clockwise by `angle` degrees (a multiple of 90).
int turnedOrientation(int orientation, int angle);
