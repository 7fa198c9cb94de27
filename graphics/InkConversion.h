#pragma once
// Colours back into the layout a file keeps them in, after an effect has
// worked on them as 8-bit RGB: ink amounts for CMYK, one value for grey.
#include <algorithm>
#include <cstdint>

// CMYK ink amounts (0: none, `full`: all) that the decoders' naive reading
// (each colour = (full - ink) * (full - black) / full) turns into `rgb`
// (8-bit), keeping the black of `oldBlack` where the new colour allows it:
// a picture whose colours an effect left alone keeps its inks.
inline void inksFor(const std::uint8_t rgb[3], unsigned oldBlack, unsigned full, unsigned inks[4])
{
    const unsigned r = rgb[0] * full / 255, g = rgb[1] * full / 255, b = rgb[2] * full / 255;
    const unsigned black = std::min(oldBlack, full - std::max({r, g, b}));
    const unsigned white = full - black;
    const unsigned channel[3] = {r, g, b};
    for (int i = 0; i < 3; ++i)
        inks[i] = white == 0 ? 0 : full - std::min(full, (channel[i] * full + white / 2) / white);
    inks[3] = black;
}

// Whether every pixel of `rows` (blue, green, red, rows of `stride` bytes)
// is grey.
inline bool allGrey(const std::uint8_t* bits, std::ptrdiff_t stride, int width, int height)
{
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = bits + y * stride;
        for (int x = 0; x < width; ++x, p += 3) {
            if (p[0] != p[1] || p[1] != p[2])
                return false;
        }
    }
    return true;
}
