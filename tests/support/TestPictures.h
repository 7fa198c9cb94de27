#pragma once
// Small picture files and collections made on the fly for tests.
#include "collection/CollectionFile.h"
#include "graphics/Bitmap24.h"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <QTemporaryDir>

namespace testpics {
// A w x h bitmap whose pixels depend on (x, y, seed), so pictures differ.
Bitmap24 pattern(int w, int h, int seed);
QString writeBmp(const QString& path, int w, int h, int seed);
QString writeJpeg(const QString& path, int w, int h, int seed);
// n pictures (JPEG and BMP alternating) in dir, listed in a collection
// file "name" with comments "comment k".
QString makeCollection(const QString& dir, const QString& name, int n, int w = 64, int h = 48);
// Every channel raised by `amount`, clamped: brightness alone.
inline Bitmap24 brighter(Bitmap24 b, int amount)
{
    for (int y = 0; y < b.height(); ++y) {
        std::uint8_t* p = b.scanLine(y);
        for (int x = 0; x < b.width() * 3; ++x)
            p[x] = std::uint8_t(std::clamp(p[x] + amount, 0, 255));
    }
    return b;
}
} // namespace testpics
