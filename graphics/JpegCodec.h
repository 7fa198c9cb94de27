#pragma once
// JPEG through libjpeg. Errors throw AppError("JPEG error #%d") with
// libjpeg's message code; a truncated file is only a warning and decodes.
#include "graphics/Bitmap24.h"

#include <QByteArray>

struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0;
};

// Refuses colour layouts that decodeJpeg could not turn into colour.
JpegInfo readJpegHeader(const QByteArray& data);
// scaleDenom 1, 2, 4 or 8: libjpeg's DCT scaling.
Bitmap24 decodeJpeg(const QByteArray& data, int scaleDenom = 1);
// Quality 90, baseline, colour (JCS_RGB, 3 components).
QByteArray encodeJpeg(const Bitmap24& bitmap, int quality = 90);
