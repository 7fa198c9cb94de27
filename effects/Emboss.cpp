#include "effects/PixelRoutines.h"

namespace {
// Row `row` against `partner`: bytes before `split` look three pixels to the
// right, the rest straight across. `partner` may be `row` itself (one-row
// pictures); its bytes right of the one written are then still unchanged.
void embossRow(std::uint8_t* row, const std::uint8_t* partner, int width)
{
    const int split = width > 3 ? 3 * (width - 3) : 0;
    for (int i = 0; i < split; ++i)
        row[i] = std::uint8_t((row[i] + 255 - partner[i + 9]) >> 1);
    for (int i = split; i < 3 * width; ++i)
        row[i] = std::uint8_t((row[i] + 255 - partner[i]) >> 1);
}
} // namespace

void EmbossBitmap(Bitmap24& bitmap)
{
    const int w = bitmap.width();
    const int h = bitmap.height();
    if (w <= 0 || h <= 0)
        return;
    for (int y = 0; y + 1 < h; ++y)
        embossRow(bitmap.scanLine(y), bitmap.scanLine(y + 1), w);
    // The last row looks up at the row just changed; a single row has only itself.
    embossRow(bitmap.scanLine(h - 1), bitmap.scanLine(h >= 2 ? h - 2 : h - 1), w);
}
