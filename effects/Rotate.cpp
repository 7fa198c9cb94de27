#include "effects/Rotate.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

void quarterTurn(Bitmap24& bitmap, bool clockwise)
{
    const Bitmap24 source = bitmap;
    const int W = source.width();
    const int H = source.height();
    bitmap.resize(H, W);
    for (int r = 0; r < W; ++r) {
        std::uint8_t* out = bitmap.scanLine(r);
        for (int c = 0; c < H; ++c, out += 3) {
            // 90: (c, r) <- (r, H - 1 - c); 270: (c, r) <- (W - 1 - r, c).
            const std::uint8_t* in =
                clockwise ? source.scanLine(H - 1 - c) + 3 * r : source.scanLine(c) + 3 * (W - 1 - r);
            std::memcpy(out, in, 3);
        }
    }
}

void halfTurn(Bitmap24& bitmap)
{
    const Bitmap24 source = bitmap;
    const int W = source.width();
    const int H = source.height();
    for (int y = 0; y < H; ++y) {
        const std::uint8_t* in = source.scanLine(H - 1 - y);
        std::uint8_t* out = bitmap.scanLine(y);
        for (int x = 0; x < W; ++x)
            std::memcpy(out + 3 * x, in + 3 * (W - 1 - x), 3);
    }
}

// Nearest-neighbour turn about the centre; the result grows to hold the
// whole turned picture.
void freeTurn(Bitmap24& bitmap, int angle, std::uint32_t background)
{
    const Bitmap24 source = bitmap;
    const int W = source.width();
    const int H = source.height();
    const double a = angle * std::numbers::pi / 180.0;
    const double cs = std::cos(a), sn = std::sin(a);
    const int nw = int(std::ceil(std::abs(W * cs) + std::abs(H * sn) - 1e-9));
    const int nh = int(std::ceil(std::abs(W * sn) + std::abs(H * cs) - 1e-9));
    bitmap.resize(std::max(nw, 1), std::max(nh, 1));
    bitmap.fill(std::uint8_t(background >> 16), std::uint8_t(background >> 8), std::uint8_t(background));
    const double cx = W / 2.0, cy = H / 2.0, ncx = bitmap.width() / 2.0, ncy = bitmap.height() / 2.0;
    for (int y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* out = bitmap.scanLine(y);
        for (int x = 0; x < bitmap.width(); ++x, out += 3) {
            // Inverse mapping from the destination pixel centre.
            const double dx = x + 0.5 - ncx, dy = y + 0.5 - ncy;
            const int sx = int(std::floor(dx * cs + dy * sn + cx));
            const int sy = int(std::floor(-dx * sn + dy * cs + cy));
            if (sx >= 0 && sx < W && sy >= 0 && sy < H)
                std::memcpy(out, source.scanLine(sy) + 3 * sx, 3);
        }
    }
}

} // namespace

void RotateBitmap(Bitmap24& bitmap, int angle, std::uint32_t background)
{
    if (bitmap.isEmpty())
        return;
    const int a = ((angle % 360) + 360) % 360;
    switch (a) {
    case 0:
        return;
    case 90:
        quarterTurn(bitmap, true);
        return;
    case 180:
        halfTurn(bitmap);
        return;
    case 270:
        quarterTurn(bitmap, false);
        return;
    default:
        freeTurn(bitmap, a, background);
    }
}
