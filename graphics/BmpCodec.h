#pragma once
// Windows bitmap reading (1, 4, 8, 16, 24, 32 bits per pixel, bottom-up and
// top-down, RLE4/RLE8, bit fields, OS/2 headers) and 24-bit writing.
#include "graphics/Bitmap24.h"
#include "graphics/PictureDamage.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Throws AppError with a bitmap-format message for malformed data; refuses
// headers whose pixel buffer would pass Bitmap24::MaxBytes before allocating.
// With `damage`, a file that ends before its pixels do decodes as far as it
// goes (the rest black, or run-length data's background) and `damage` says
// so; without, such a file is refused as truncated.
Bitmap24 decodeBmp(const QByteArray& data, PictureDamage* damage = nullptr);
QByteArray encodeBmp24(const Bitmap24& bitmap);

// Where an uncompressed 24-bit bitmap keeps its rows, for readers that take
// them a band at a time. `head` is the file's first bytes (all of it, or at
// least 1024), `fileSize` its whole size. Empty for other kinds, which only
// decodeBmp reads; throws as decodeBmp does for a malformed file.
struct Bmp24Rows {
    int width = 0;
    int height = 0;
    bool topDown = false;
    qint64 offset = 0; // of the first row stored
    qint64 stride = 0;
};
std::optional<Bmp24Rows> plainBmp24Rows(const QByteArray& head, qint64 fileSize);

// The headers encodeBmp24 writes before the rows of a bitmap this size.
QByteArray bmp24Headers(int width, int height);
