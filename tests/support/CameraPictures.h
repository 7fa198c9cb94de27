#pragma once
// Camera-style JPEGs made for the tests: an EXIF block written with libexif
// (make, model, date taken, orientation, pixel size and a thumbnail) and a
// the sRGB colour profile; and readers for what a written file kept.
#include "graphics/Bitmap24.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace camera {

inline const QString Make = QStringLiteral("Test Camera Works");
inline const QString Model = QStringLiteral("TC-1");
inline const QString Taken = QStringLiteral("2024:05:17 10:20:30");

// The EXIF block (APP1 payload) of a camera picture stored at `stored`.
QByteArray exifBlock(QSize stored, int orientation);
// A JPEG of `stored` with that EXIF block and an RGB colour profile.
QByteArray cameraJpeg(const Bitmap24& stored, int orientation);

struct Tags {
    int orientation = 0; // 0: no tag
    QString make, model, taken;
    int width = 0, height = 0; // the EXIF pixel dimensions
    bool thumbnail = false;
    bool rgbProfile = false;
    bool operator==(const Tags&) const = default;
};
// What libexif reads from the EXIF block our reader finds in the file.
Tags readTags(const QString& path);
// What exiftool reads from the file.
Tags exiftoolTags(const QString& path);
// exiftool's output, standard output then error, for these arguments: as
// bytes (a binary tag extracted with -b) or as lines.
QByteArray exiftoolOutput(const QStringList& args);
QStringList exiftool(const QStringList& args);

} // namespace camera
