#include "effects/PixelRoutines.h"

#include <algorithm>

namespace {
// Pixels whose neighbours may fall outside, or whose sample rows include the
// row being written: one pixel at a time, in order, so in-place reads see
// what the routine has already written.
void blurPixels(const std::uint8_t* up, const std::uint8_t* down, std::uint8_t* row, int from, int to,
                int width, long long d)
{
    for (int x = from; x < to; ++x) {
        const int l = x - d < 0 ? x : int(x - d);
        const int r = x + d >= width ? x : int(x + d);
        for (int c = 0; c < 3; ++c)
            row[3 * x + c] =
                std::uint8_t((up[3 * l + c] + down[3 * l + c] + up[3 * r + c] + down[3 * r + c]) >> 2);
    }
}

// Rows whose sample rows are both other rows: the written row is never read,
// so the middle stretch runs over plain bytes.
void blurInteriorRow(const std::uint8_t* __restrict up, const std::uint8_t* __restrict down,
                     std::uint8_t* __restrict row, int width, int d)
{
    const int midBegin = std::min(d, width);
    const int midEnd = std::max(midBegin, width - d);
    blurPixels(up, down, row, 0, midBegin, width, d);
    const int off = 3 * d;
    for (int i = 3 * midBegin; i < 3 * midEnd; ++i)
        row[i] = std::uint8_t((up[i - off] + down[i - off] + up[i + off] + down[i + off]) >> 2);
    blurPixels(up, down, row, midEnd, width, width, d);
}
} // namespace

void SplitBlurBitmap(Bitmap24& bitmap, int distance)
{
    const int w = bitmap.width();
    const int h = bitmap.height();
    if (distance <= 0 || w <= 0 || h <= 0)
        return;
    const long long d = distance;
    for (int y = 0; y < h; ++y) {
        const int u = y - d < 0 ? y : int(y - d);
        const int v = y + d >= h ? y : int(y + d);
        std::uint8_t* row = bitmap.scanLine(y);
        if (u != y && v != y)
            blurInteriorRow(bitmap.scanLine(u), bitmap.scanLine(v), row, w, distance);
        else
            blurPixels(bitmap.scanLine(u), bitmap.scanLine(v), row, 0, w, w, d);
    }
}
