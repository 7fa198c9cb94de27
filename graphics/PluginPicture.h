#pragma once
// Pictures read through Qt's image plugins: PNG, GIF (its first frame),
// WebP, TIFF (its first page) and icons. What the plugins don't tell
// without decoding, or don't tell at all (EXIF orientation, PNG's EXIF
// chunk, the colour space), comes from the file's own chunks and tags.
#include "graphics/PictureFormat.h"

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QSize>

struct PluginPictureInfo {
    QSize size;             // as stored
    int orientation = 1;    // EXIF's, 1..8
    QColorSpace colorSpace; // invalid: sRGB
    QByteArray icc;         // the file's profile, or one made for the space
    QByteArray exif;        // a TIFF structure, or empty
};

// Throws AppError: "Picture is not valid. %s" for data the plugin can't
// place, "Picture too large (%d x %d pixels)" past the pixel limit.
PluginPictureInfo readPluginPictureInfo(const QByteArray& data, PictureFormat format);
// The stored pixels, whole, in the format the plugin gives (alpha and 16
// bits kept). Throws AppError as above, also for data that ends early.
QImage decodePluginPicture(const QByteArray& data, PictureFormat format);
