#pragma once
// A fixed 256-colour halftone palette for the trace effect's 8-bit reduction:
// the 6 x 6 x 6 colour cube (levels 0, 51, ..., 255, index 36 r + 6 g + b)
// followed by 40 further greys, so that 46 evenly spaced greys exist in all.
#include <array>
#include <cstdint>

struct PaletteColor {
    std::uint8_t r, g, b;
};

const std::array<PaletteColor, 256>& HalftonePalette();

// Index of the palette colour nearest to (r, g, b) in squared RGB distance;
// among equally near colours the lowest index wins.
std::uint8_t NearestHalftoneIndex(int r, int g, int b) noexcept;
