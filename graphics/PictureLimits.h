#pragma once
// What one picture may cost, checked from its header before any decoder
// allocates: its pixels as 32-bit RGBA (how they are drawn and turned),
// the scans of a progressive JPEG, the size of one PNG chunk.
#include <QtGlobal>

#include <cstdint>

// 1 GiB of pixels, 268 megapixels; a constant, so that a picture one
// process takes is one every process takes.
constexpr std::uint64_t pictureByteLimit() noexcept
{
    return std::uint64_t(1) << 30;
}

bool pictureSizeAllowed(qint64 width, qint64 height) noexcept;
// Throws PictureError::tooLarge past the limit (or for a size of nothing).
void checkPictureSize(qint64 width, qint64 height);

// More scans than this is no camera's or encoder's: each costs a pass over
// the picture's coefficients (djpeg's -maxscans default).
inline constexpr int MaxJpegScans = 1000;
// Text, profiles and EXIF: no sound chunk comes near this.
inline constexpr std::size_t MaxPngChunkBytes = std::size_t(16) << 20;
// Ancillary chunks kept by libpng; more are skipped.
inline constexpr int MaxPngChunks = 1000;
