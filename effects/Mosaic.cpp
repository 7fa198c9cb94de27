#include "effects/PixelRoutines.h"

#include <algorithm>

void MosaicBitmap(Bitmap24& bitmap, int size)
{
    const int w = bitmap.width();
    const int h = bitmap.height();
    if (size <= 1 || w <= 0 || h <= 0)
        return;
    // 64-bit block positions: a block size near the int limit must not wrap.
    for (long long by = 0; by < h; by += size) {
        const int rowEnd = int(std::min<long long>(h, by + size));
        for (long long bx = 0; bx < w; bx += size) {
            const int colEnd = int(std::min<long long>(w, bx + size));
            const std::uint8_t* corner = bitmap.scanLine(int(by)) + 3 * bx;
            const std::uint8_t b = corner[0], g = corner[1], r = corner[2];
            for (int y = int(by); y < rowEnd; ++y) {
                std::uint8_t* p = bitmap.scanLine(y) + 3 * bx;
                for (int x = int(bx); x < colEnd; ++x, p += 3) {
                    p[0] = b;
                    p[1] = g;
                    p[2] = r;
                }
            }
        }
    }
}
