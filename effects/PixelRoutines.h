#pragma once
// The neighbourhood and geometric routines. Each works in place, rows from
// the top and pixels from the left unless noted, so a pixel written earlier
// in a call is what later reads of it see. None reads or writes outside the
// bitmap, whatever its size.
#include "graphics/Bitmap24.h"

// Each pixel against its partner three columns right and one row down
// (directly below in the last three columns, directly above in the last row).
void EmbossBitmap(Bitmap24& bitmap);

// Blocks of size x size take the colour of their top-left pixel.
void MosaicBitmap(Bitmap24& bitmap, int size);

// Average of the four diagonal neighbours at `distance`, falling back to the
// pixel's own row or column where a neighbour lies outside.
void SplitBlurBitmap(Bitmap24& bitmap, int distance);

// Four-neighbour smoothing of the rectangle between the two corners (any
// order), narrowed so that the one-pixel border never changes.
void AntiAliasBitmap(Bitmap24& bitmap, int x0, int y0, int x1, int y1);

// Black outlines where the halftone palette index changes; `passes` >= 1.
void TraceBitmap(Bitmap24& bitmap, int passes);

// Bilinear resampling of `source` onto the whole of `dest`, 15-bit fixed point.
void ResampleBilinear(const Bitmap24& source, Bitmap24& dest);

// The tile rule: for a requested count v > 0 on a picture of width x height,
// the count actually kept (0 turns the effect off) and the tile size.
struct TileLayout {
    int count = 0;
    int tileWidth = 0;
    int tileHeight = 0;
};
TileLayout TileLayoutFor(int requested, int width, int height) noexcept;

// Draws tiles resampled from `original` over `target` (same size as the
// original) by the layout; nothing when the layout's count is 0. `target`
// may be `original` itself: the tile is taken before any is drawn.
void BuildTiles(const Bitmap24& original, const TileLayout& layout, Bitmap24& target);
