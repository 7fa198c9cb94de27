#pragma once
// What a picture file carries ready to show while the picture itself is
// decoded: a JPEG's EXIF thumbnail, a HEIF's own thumbnail. Read by a loader
// like every picture's bytes.
#include "graphics/Picture.h"

#include <QImage>
#include <QSize>
#include <QString>

// The preview, upright as `exif` says and in display colours when asked,
// at most `box`; null when the file has none (or can't be read: the
// picture's own decode tells why). Never throws.
QImage embeddedPreview(const QString& path, QSize box, ExifOrientation exif, bool displayColors);
