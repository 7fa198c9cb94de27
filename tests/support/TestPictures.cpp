#include "tests/support/TestPictures.h"

#include "core/AtomicFile.h"
#include "graphics/BmpCodec.h"
#include "graphics/JpegCodec.h"

namespace testpics {
Bitmap24 pattern(int w, int h, int seed)
{
    Bitmap24 b(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* p = b.scanLine(y);
        for (int x = 0; x < w; ++x, p += 3) {
            p[0] = std::uint8_t(x * 7 + seed * 31);
            p[1] = std::uint8_t(y * 5 + seed * 17);
            p[2] = std::uint8_t((x ^ y) + seed * 53);
        }
    }
    return b;
}

QString writeBmp(const QString& path, int w, int h, int seed)
{
    writeFileAtomically(path, encodeBmp24(pattern(w, h, seed)));
    return path;
}

QString writeJpeg(const QString& path, int w, int h, int seed)
{
    writeFileAtomically(path, encodeJpeg(pattern(w, h, seed)));
    return path;
}

QString makeCollection(const QString& dir, const QString& name, int n, int w, int h)
{
    QList<CollectionEntry> entries;
    for (int k = 1; k <= n; ++k) {
        const QString pic = k % 2 ? writeJpeg(QStringLiteral("%1/p%2.jpg").arg(dir).arg(k), w, h, k)
                                  : writeBmp(QStringLiteral("%1/p%2.bmp").arg(dir).arg(k), w, h, k);
        entries.append({pic, QStringLiteral("comment %1").arg(k)});
    }
    const QString path = dir + QLatin1Char('/') + name;
    writeCollection(path, entries);
    return path;
}
} // namespace testpics
