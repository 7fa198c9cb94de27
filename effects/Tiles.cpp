#include "effects/PixelRoutines.h"

#include <algorithm>
#include <cstring>

void ResampleBilinear(const Bitmap24& source, Bitmap24& dest)
{
    const int ws = source.width(), hs = source.height();
    const int wd = dest.width(), hd = dest.height();
    if (ws <= 0 || hs <= 0 || wd <= 0 || hd <= 0)
        return;
    const long long sx = (static_cast<long long>(ws - 1) * 32768) / wd;
    const long long sy = (static_cast<long long>(hs - 1) * 32768) / hd;
    for (int j = 0; j < hd; ++j) {
        const long long fy = j * sy;
        const int iy = int(fy >> 15);
        const int wy = int(fy & 0x7FFF);
        const std::uint8_t* upper = source.scanLine(iy);
        const std::uint8_t* lower = hs == 1 ? upper : source.scanLine(iy + 1);
        std::uint8_t* out = dest.scanLine(j);
        for (int i = 0; i < wd; ++i, out += 3) {
            const long long fx = i * sx;
            const int ix = int(fx >> 15);
            const int wx = int(fx & 0x7FFF);
            // A one-pixel-wide source has no right neighbour: its only column serves twice.
            const int ix2 = ws == 1 ? ix : ix + 1;
            const int w2 = (wx * (32768 - wy)) >> 15;
            const int w1 = (32768 - wy) - w2;
            const int w4 = (wx * wy) >> 15;
            const int w3 = wy - w4;
            for (int c = 0; c < 3; ++c)
                out[c] = std::uint8_t((upper[3 * ix + c] * w1 + upper[3 * ix2 + c] * w2 +
                                       lower[3 * ix + c] * w3 + lower[3 * ix2 + c] * w4) >>
                                      15);
        }
    }
}

TileLayout TileLayoutFor(int requested, int width, int height) noexcept
{
    TileLayout layout;
    if (requested <= 0 || width <= 0 || height <= 0)
        return layout;
    layout.tileHeight = std::max(10, height / requested);
    layout.tileWidth = std::max(10, width / requested);
    layout.count = requested;
    if (layout.tileHeight == 10 && layout.tileWidth == 10)
        layout.count = std::max(width, height) / 10;
    return layout;
}

void BuildTiles(const Bitmap24& original, const TileLayout& layout, Bitmap24& target)
{
    if (layout.count <= 0 || layout.tileWidth <= 0 || layout.tileHeight <= 0 || original.isEmpty())
        return;
    const int w = std::min(original.width(), target.width());
    const int h = std::min(original.height(), target.height());
    Bitmap24 tile(layout.tileWidth, layout.tileHeight);
    ResampleBilinear(original, tile);
    for (long long top = 0; top <= h; top += layout.tileHeight) {
        const int rows = int(std::min<long long>(layout.tileHeight, h - top));
        for (long long left = 0; left <= w; left += layout.tileWidth) {
            const int cols = int(std::min<long long>(layout.tileWidth, w - left));
            if (rows <= 0 || cols <= 0)
                continue;
            for (int r = 0; r < rows; ++r)
                std::memcpy(target.scanLine(int(top) + r) + 3 * left, tile.scanLine(r),
                            std::size_t(cols) * 3);
        }
    }
}
