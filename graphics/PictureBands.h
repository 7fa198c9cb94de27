#pragma once
// Parts of a PNG, WebP or TIFF decoded without their whole frame, for the
// tiles of a giant picture. A band is asked in the stored picture scaled by
// 1/denom (each pixel the mean of a denom x denom block, those at the right
// and bottom edges of what is left), whose size rounds up as libjpeg's
// scaled decodes do, so that every kind tiles on the same grid.
#include "graphics/PngCodec.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

// The stored picture's size at 1/denom.
inline QSize scaledDown(QSize stored, int denom)
{
    return QSize((stored.width() + denom - 1) / denom, (stored.height() + denom - 1) / denom);
}

// Rows of a stored picture (RGBA bytes) taken into `*band` of it scaled by
// 1/denom; the band is clipped on making.
class BlockMeans {
public:
    BlockMeans(QSize stored, QRect* band, int denom, bool alpha, bool premultiplied);
    // The stored rows [first, last) whose pixels the band needs.
    int firstRow() const { return m_band.top() * m_denom; }
    int endRow() const { return std::min((m_band.bottom() + 1) * m_denom, m_stored.height()); }
    // Stored row `y`, its pixels from stored column `from`.
    void take(int y, const std::uint8_t* rgba, int from = 0);
    bool done() const { return m_next >= endRow(); }
    QImage image;

private:
    QSize m_stored;
    QRect m_band;
    int m_denom = 1;
    bool m_alpha = false, m_premultiplied = false;
    int m_next = 0;                    // the next row wanted
    std::vector<std::uint64_t> m_sums; // four a band pixel; a giant block's levels pass 32 bits
};

// The same for an interlaced PNG, whose seven passes each cover the whole
// picture: every band pixel's sums wait for the last pass.
class PassMeans {
public:
    // Blocks past this side would overflow the sums: those take the whole decode.
    static constexpr int LargestDenom = 4096;
    PassMeans(QSize stored, QRect* band, int denom, bool alpha);
    // Row `y` of interlace pass `pass`, RGBA, at the pass's own width.
    void take(int pass, int y, const std::uint8_t* rgba);
    bool valid() const { return !m_sums.empty(); }
    // The band, once every pass came; null when none could be made.
    QImage means() const;

private:
    QSize m_stored;
    QRect m_band;
    int m_denom = 1;
    bool m_alpha = false;
    std::vector<std::uint32_t> m_sums; // four a band pixel
};

// A PNG's rows taken into block means as libpng hands them over: row by
// row, or pass by pass for an interlaced file (read with `passes`).
class PngMeans {
public:
    // For `prepare`: means of `*band` at 1/denom; false when none can be made.
    bool start(png_structp png, png_infop info, const PngHeader& h, QRect* band, int denom);
    void take(png_bytep row, png_uint_32 y, int pass);
    // Every row the band needs came (an interlaced file's only at its end).
    bool rowsDone() const { return m_rows && m_rows->done(); }
    // The band once its rows came, as `outcome` says for an interlaced file; else null.
    QImage image(png::Outcome outcome) const;

private:
    std::optional<BlockMeans> m_rows;
    std::optional<PassMeans> m_passes;
};

// The pixels of `*band` (clipped to the scaled picture) as RGB32, or
// ARGB32_Premultiplied where the file has alpha. Null where the file can't
// be read a part at a time (an animated WebP), when it is damaged before
// the band ends, or when `stop` turned true. An interlaced PNG is read to
// its end for any band.
QImage decodePngBand(const QByteArray& data, QRect* band, int denom, const std::atomic<bool>* stop = nullptr);
// A lossless WebP's bitstream is read from `fd` where given, the file
// `data` maps (see LosslessWebpDecoder::decodeRows).
QImage decodeWebpBand(const QByteArray& data, QRect* band, int denom, int fd = -1);

// A still WebP scaled while it decodes to cover `atLeast` (its aspect
// kept), for a giant one's stand-in; null for an animation or damage.
QImage decodeWebpCovering(const QByteArray& data, QSize atLeast, int fd = -1);
