#pragma once
// Turning a bitmap, shared by the main window's Rotate commands and
// pictavo-fx rotate.
#include "graphics/Bitmap24.h"

#include <cstdint>

// Rotates `bitmap` clockwise by `angle` degrees, in place. Quarter turns
// (90, 180, 270 and their equivalents) move every pixel whole and ignore
// `background`; any other angle turns about the centre into the enclosing
// rectangle, whose uncovered corners take `background` (0x00BBGGRR).
void RotateBitmap(Bitmap24& bitmap, int angle, std::uint32_t background);
