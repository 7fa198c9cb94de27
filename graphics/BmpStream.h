#pragma once
// A bitmap written as the 24-bit BMP encodeBmp24 makes, a band of rows at a
// time through writeFileAtomically, so no second frame of file bytes is made.
#include "graphics/Bitmap24.h"
#include "graphics/BmpCodec.h"

#include <QString>

// At the resolution of `extras`. Throws like encodeBmp24 and writeFileAtomically.
void writeBmp24File(const QString& path, const Bitmap24& bitmap, const BmpExtras& extras = {});
