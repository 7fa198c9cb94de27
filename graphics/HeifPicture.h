#pragma once
// HEIC/HEIF and AVIF through libheif: the primary image, turned upright by
// its rotation and mirror properties unless they are to be ignored, and
// its embedded thumbnail where one is large enough.
#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QSize>

struct HeifPictureInfo {
    QSize stored;           // before the rotation and mirror properties
    QSize upright;          // after them
    QColorSpace colorSpace; // invalid: sRGB
    QByteArray icc;         // the profile as the file holds it
};

// Throws PictureError: damaged (with libheif's message), a layout libheif
// can't read, or a size past the picture limit.
HeifPictureInfo readHeifPictureInfo(const QByteArray& data);
// The primary image, upright or as stored. Throws AppError as above.
QImage decodeHeifPicture(const QByteArray& data, bool upright);
// The primary image reduced by whole blocks of pixels to just cover
// `atLeast`; null, and nothing decoded, for a picture with alpha or one
// too small for a block of two. Throws AppError as above.
QImage decodeHeifReduced(const QByteArray& data, bool upright, QSize atLeast);
// The largest embedded thumbnail that covers `atLeast` (as the picture
// turns, if `upright`); null when there is none.
QImage decodeHeifThumbnail(const QByteArray& data, bool upright, QSize atLeast);
// The primary image's EXIF block from its TIFF header on; empty when it has none.
QByteArray heifExif(const QByteArray& data);
