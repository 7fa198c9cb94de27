#include "effects/PixelRoutines.h"

#include <algorithm>
#include <utility>

void AntiAliasBitmap(Bitmap24& bitmap, int x0, int y0, int x1, int y1)
{
    if (x0 > x1)
        std::swap(x0, x1);
    if (y0 > y1)
        std::swap(y0, y1);
    const int xs = std::max(1, x0);
    const int xe = std::min(bitmap.width() - 2, x1);
    const int ys = std::max(1, y0);
    const int ye = std::min(bitmap.height() - 2, y1);
    if (xs > xe || ys > ye)
        return;
    for (int y = ys; y <= ye; ++y) {
        const std::uint8_t* __restrict up = bitmap.scanLine(y - 1);
        const std::uint8_t* __restrict down = bitmap.scanLine(y + 1);
        std::uint8_t* __restrict row = bitmap.scanLine(y);
        // The left neighbour is the value just written: keep it in a register
        // rather than reading back the store.
        unsigned l0 = row[3 * xs - 3], l1 = row[3 * xs - 2], l2 = row[3 * xs - 1];
        for (int x = xs; x <= xe; ++x) {
            const int i = 3 * x;
            l0 = (up[i] + down[i] + l0 + row[i + 3]) >> 2;
            l1 = (up[i + 1] + down[i + 1] + l1 + row[i + 4]) >> 2;
            l2 = (up[i + 2] + down[i + 2] + l2 + row[i + 5]) >> 2;
            row[i] = std::uint8_t(l0);
            row[i + 1] = std::uint8_t(l1);
            row[i + 2] = std::uint8_t(l2);
        }
    }
}
