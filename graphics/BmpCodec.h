#pragma once
// Windows bitmap reading (1, 4, 8, 16, 24, 32 bits per pixel, bottom-up and
// top-down, RLE4/RLE8, bit fields, OS/2 headers) and 24-bit writing.
#include "graphics/Bitmap24.h"
#include "graphics/PictureDamage.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// What a bitmap file holds besides its colours, kept when it is written back.
struct BmpExtras {
    // One byte a pixel, row 0 at the top; empty when the file has no alpha
    // channel (or one every pixel leaves at 0, which means none).
    std::vector<std::uint8_t> alpha;
    // 72 dpi where the file says nothing.
    qint32 xPixelsPerMetre = 2835;
    qint32 yPixelsPerMetre = 2835;
};

// Throws PictureError for malformed data; refuses headers past the picture
// limit before allocating. With `damage`, a file that ends before its
// pixels do decodes as far as it goes (the rest black, or run-length data's
// background) and `damage` says so; without, such a file is refused as
// truncated. `extras` learns its alpha channel and resolution.
Bitmap24 decodeBmp(const QByteArray& data, PictureDamage* damage = nullptr, BmpExtras* extras = nullptr);
// 24 bits a pixel at the resolution of `extras`.
QByteArray encodeBmp24(const Bitmap24& bitmap, const BmpExtras& extras = {});
// 32 bits a pixel in a version 5 header, the alpha channel of `extras` in
// the high byte.
QByteArray encodeBmp32(const Bitmap24& bitmap, const BmpExtras& extras);
// The one of the two that keeps what `extras` holds.
QByteArray encodeBmp(const Bitmap24& bitmap, const BmpExtras& extras);

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
    BmpExtras extras; // its resolution
};
std::optional<Bmp24Rows> plainBmp24Rows(const QByteArray& head, qint64 fileSize);

// The headers encodeBmp24 writes before the rows of a bitmap this size.
QByteArray bmp24Headers(int width, int height, const BmpExtras& extras = {});
