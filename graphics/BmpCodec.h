#pragma once
// Windows bitmap reading (1, 4, 8, 16, 24, 32 bits per pixel, bottom-up and
// top-down, RLE4/RLE8, bit fields, OS/2 headers) and 24-bit writing.
#include "graphics/Bitmap24.h"

#include <QByteArray>
#include <QString>

// Throws AppError with a bitmap-format message for malformed data; refuses
// headers whose pixel buffer would pass Bitmap24::MaxBytes before allocating.
Bitmap24 decodeBmp(const QByteArray& data);
QByteArray encodeBmp24(const Bitmap24& bitmap);
