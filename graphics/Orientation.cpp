#include "graphics/Orientation.h"

#include <QTransform>

#include <cstddef>
#include <cstring>

namespace {

// Where output pixel (x, y) is read: origin + x * xStep + y * yStep bytes.
struct Walk {
    std::ptrdiff_t origin, xStep, yStep;
};

Walk walkFor(int orientation, const Bitmap24& s)
{
    const std::ptrdiff_t right = std::ptrdiff_t(s.width() - 1) * 3;
    const std::ptrdiff_t bottom = std::ptrdiff_t(s.height() - 1) * s.stride();
    const std::ptrdiff_t row = s.stride();
    switch (orientation) {
    case 2:
        return {right, -3, row};
    case 3:
        return {right + bottom, -3, -row};
    case 4:
        return {bottom, 3, -row};
    case 5:
        return {0, row, 3};
    case 6:
        return {bottom, -row, 3};
    case 7:
        return {right + bottom, -row, -3};
    case 8:
        return {right, row, -3};
    default:
        return {0, 3, row};
    }
}

} // namespace

Bitmap24 orientBitmap(Bitmap24 stored, int orientation)
{
    if (stored.isEmpty() || !isOrientation(orientation) || orientation == 1)
        return stored;
    const QSize size = orientedSize(QSize(stored.width(), stored.height()), orientation);
    Bitmap24 out(size.width(), size.height());
    const Walk w = walkFor(orientation, stored);
    const std::uint8_t* base = stored.bits();
    for (int y = 0; y < out.height(); ++y) {
        const std::uint8_t* in = base + w.origin + y * w.yStep;
        std::uint8_t* o = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x, in += w.xStep, o += 3)
            std::memcpy(o, in, 3);
    }
    return out;
}

QImage orientImage(const QImage& stored, int orientation)
{
    const auto turned = [&](int angle) { return stored.transformed(QTransform().rotate(angle)); };
    switch (orientation) {
    case 2:
        return stored.mirrored(true, false);
    case 3:
        return turned(180);
    case 4:
        return stored.mirrored(false, true);
    case 5:
        return turned(90).mirrored(true, false);
    case 6:
        return turned(90);
    case 7:
        return turned(90).mirrored(false, true);
    case 8:
        return turned(270);
    default:
        return stored;
    }
}

int turnedOrientation(int orientation, int angle)
{
    // Found by trying: the orientation that lays out a small picture of
    // distinct pixels exactly as the two steps do.
    Bitmap24 probe(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            probe.scanLine(y)[3 * x] = std::uint8_t(1 + x + 3 * y);
    Bitmap24 target = orientBitmap(probe, orientation);
    for (int q = (((angle / 90) % 4) + 4) % 4; q > 0; --q)
        target = orientBitmap(target, 6);
    for (int k = 1; k <= 8; ++k) {
        if (orientBitmap(probe, k) == target)
            return k;
    }
    return 1;
}
