#include "graphics/BmpStream.h"

#include "core/AtomicFile.h"
#include "graphics/BmpCodec.h"

#include <algorithm>
#include <cstring>
#include <vector>

void writeBmp24File(const QString& path, const Bitmap24& bitmap, const BmpExtras& extras)
{
    const QByteArray headers = bmp24Headers(bitmap.width(), bitmap.height(), extras);
    writeFileAtomically(path, [&](const ByteSink& put) {
        put(headers.constData(), headers.size());
        const std::size_t stride = std::size_t(Bitmap24::strideFor(bitmap.width()));
        const std::size_t rowBytes = std::size_t(bitmap.width()) * 3;
        constexpr int kRows = 64;
        // Rows bottom-up, their padding zero whatever the bitmap holds there.
        std::vector<char> band(stride * kRows, '\0');
        for (int last = bitmap.height() - 1; last >= 0; last -= kRows) {
            const int n = std::min(kRows, last + 1);
            for (int i = 0; i < n; ++i)
                std::memcpy(band.data() + std::size_t(i) * stride, bitmap.scanLine(last - i), rowBytes);
            put(band.data(), qint64(n) * qint64(stride));
        }
    });
}
