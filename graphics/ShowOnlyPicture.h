#pragma once
// The kinds read only to be shown, never written: camera RAW (its
// embedded preview), JPEG XL and SVG. One door for Picture to reach them.
#include "graphics/PictureFormat.h"

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QSize>

struct ShowOnlyInfo {
    QSize stored;        // before its orientation
    int orientation = 1; // as EXIF numbers it
    QColorSpace colorSpace;
    QByteArray icc;
};

bool isShowOnlyKind(PictureFormat format);
// Throws PictureError naming no file (Picture names it).
ShowOnlyInfo readShowOnlyInfo(const QByteArray& data, PictureFormat format);
// Pixels as stored, `stored` large (the size the info gave).
QImage decodeShowOnlyPicture(const QByteArray& data, PictureFormat format, QSize stored);
// A rendition as stored that covers `drawn` (given as stored) for less
// than the whole decode: an SVG drawn at that size, a RAW's smaller
// preview. Null when there is none.
QImage showOnlyPictureCovering(const QByteArray& data, PictureFormat format, QSize stored, QSize drawn);
