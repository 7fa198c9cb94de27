#pragma once
// JPEG XL through libjxl: lossy, lossless and recompressed JPEG alike, the
// first frame of an animation as the still, its alpha kept. Never written.
#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QSize>

struct JxlPictureInfo {
    QSize stored;           // before its orientation
    int orientation = 1;    // as EXIF numbers it
    QColorSpace colorSpace; // of the decoded values; invalid: sRGB
    QByteArray icc;
};

// Throws PictureError: damaged (libjxl refuses the data or it ends early),
// or a size past the picture limit.
JxlPictureInfo readJxlPictureInfo(const QByteArray& data);
// The first frame as stored (its orientation not yet applied): 8 bits,
// grey, or RGBA where there is alpha or colour. Throws as above.
QImage decodeJxlPicture(const QByteArray& data);
