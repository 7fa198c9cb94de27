#include "effects/HalftonePalette.h"

namespace {
constexpr int kGreyCount = 46; // grey level k is round(k * 255 / 45)

constexpr int greyLevel(int k)
{
    return (k * 255 * 2 + 45) / 90;
}

// Palette index of grey step k: every ninth one is a cube corner.
constexpr int greyIndex(int k)
{
    return k % 9 == 0 ? (k / 9) * 43 : 216 + k - (k / 9) - 1;
}

int distance2(int r, int g, int b, const PaletteColor& p) noexcept
{
    const int dr = r - p.r, dg = g - p.g, db = b - p.b;
    return dr * dr + dg * dg + db * db;
}
} // namespace

const std::array<PaletteColor, 256>& HalftonePalette()
{
    static const std::array<PaletteColor, 256> palette = [] {
        std::array<PaletteColor, 256> p{};
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    p[36 * r + 6 * g + b] = {std::uint8_t(51 * r), std::uint8_t(51 * g),
                                             std::uint8_t(51 * b)};
        for (int k = 0; k < kGreyCount; ++k) {
            const auto v = std::uint8_t(greyLevel(k));
            p[greyIndex(k)] = {v, v, v};
        }
        return p;
    }();
    return palette;
}

std::uint8_t NearestHalftoneIndex(int r, int g, int b) noexcept
{
    // The cube is separable: the nearest cube colour rounds each channel to
    // its level (never a tie, the levels being 51 apart). The nearest grey is
    // the level nearest the channel mean. The answer is one of the two.
    const auto& pal = HalftonePalette();
    const int cube = 36 * ((r + 25) / 51) + 6 * ((g + 25) / 51) + (b + 25) / 51;
    int best = cube;
    int bestD = distance2(r, g, b, pal[cube]);

    // Squared distance to a grey v is 3 (v - mean)^2 + const, so compare
    // levels by |3 v - (r + g + b)|.
    const int sum = r + g + b;
    int k = (sum * 45 + 382) / 765; // near the mean's step; check the neighbours too
    for (int cand = k - 1; cand <= k + 1; ++cand) {
        if (cand < 0 || cand >= kGreyCount)
            continue;
        const int idx = greyIndex(cand);
        const int d = distance2(r, g, b, pal[idx]);
        if (d < bestD || (d == bestD && idx < best)) {
            best = idx;
            bestD = d;
        }
    }
    return std::uint8_t(best);
}
