#include "effects/HalftonePalette.h"
#include "effects/PixelRoutines.h"

#include <algorithm>
#include <vector>

void TraceBitmap(Bitmap24& bitmap, int passes)
{
    const int w = bitmap.width();
    const int h = bitmap.height();
    if (w <= 0 || h <= 0 || passes < 1)
        return;

    // The palettised copy: every comparison is between its indices, and it
    // never changes, however many marks the passes lay.
    std::vector<std::uint8_t> q(std::size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* p = bitmap.scanLine(y);
        std::uint8_t* out = q.data() + std::size_t(y) * w;
        for (int x = 0; x < w; ++x, p += 3)
            out[x] = NearestHalftoneIndex(p[2], p[1], p[0]);
    }
    auto index = [&](int x, int y) { return q[std::size_t(y) * w + x]; };
    auto mark = [&](int x, int y) {
        std::uint8_t* p = bitmap.scanLine(y) + 3 * x;
        p[0] = p[1] = p[2] = 0;
    };

    bool found = false;
    std::uint8_t t = 0;
    auto boundary = [&](int ax, int ay, int nx, int ny) {
        if (!found) {
            t = index(nx, ny);
            found = true;
            mark(ax, ay);
        } else if (index(ax, ay) != t) {
            mark(ax, ay);
        } else {
            mark(nx, ny);
        }
    };

    // The sweeps run at least one column; a neighbour column that does not
    // exist (a one-pixel-wide picture) is simply not compared.
    const int forwardLast = std::max(0, w - 3);
    const int backwardLast = std::min(w - 1, 2);
    for (int pass = 1; pass <= passes; ++pass) {
        for (int y = 0; y + 1 < h; ++y) {
            for (int x = 0; x <= forwardLast; ++x) {
                if (x + 1 < w && index(x + 1, y) != index(x, y))
                    boundary(x, y, x + 1, y);
                if (index(x, y + 1) != index(x, y))
                    boundary(x, y, x, y + 1);
            }
        }
        if (pass < 2)
            continue;
        for (int y = h - 1; y >= 1; --y) {
            for (int x = w - 1; x >= backwardLast; --x) {
                if (x >= 1 && index(x - 1, y) != index(x, y))
                    boundary(x, y, x - 1, y);
                if (index(x, y - 1) != index(x, y))
                    boundary(x, y, x, y - 1);
            }
        }
    }
}
