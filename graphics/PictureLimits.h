#pragma once
// What one picture may cost, checked from its header before any decoder
// allocates: its pixels as 32-bit RGBA (how they are drawn and turned),
// the scans of a progressive JPEG, the size of one PNG chunk.
#include <QtGlobal>

#include <cstdint>

// 1 GiB of pixels by default, 268 megapixels.
inline constexpr std::uint64_t DefaultPictureByteLimit = std::uint64_t(1) << 30;
std::uint64_t pictureByteLimit() noexcept;
// For tests and the loader; 0 restores the default.
void setPictureByteLimit(std::uint64_t bytes) noexcept;

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
