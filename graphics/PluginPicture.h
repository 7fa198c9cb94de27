#pragma once
// Pictures read through Qt's image plugins: PNG, GIF (its first frame),
// WebP, TIFF (its first page) and icons. What the plugins don't tell
// without decoding, or don't tell at all (EXIF orientation, PNG's EXIF
// chunk, the colour space), comes from the file's own chunks and tags.
#include "graphics/PictureDamage.h"
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

// Throws PictureError for data the plugin can't place or a size past the
// picture limit.
PluginPictureInfo readPluginPictureInfo(const QByteArray& data, PictureFormat format);
// The stored pixels, whole, in the format the plugin gives (alpha and 16
// bits kept; PNG through PngCodec). A file that is cut or broken decodes as
// far as its decoder goes and `damage` says what is wrong (see
// ContainerDamage); throws PictureError when nothing decodes.
QImage decodePluginPicture(const QByteArray& data, PictureFormat format, PictureDamage* damage = nullptr);
