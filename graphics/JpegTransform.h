#pragma once
// Lossless JPEG transforms: the DCT blocks are moved, not decoded and
// encoded again.
#include "graphics/PictureDamage.h"

#include <QByteArray>

// `jpeg` laid out by the orientation transform (1..8, see Orientation.h),
// every marker kept. Empty when an edge that the transform moves is not a
// whole number of MCUs (libjpeg's perfect transform: a quarter turn
// clockwise needs whole rows of blocks, one counter-clockwise whole
// columns, a half turn both, a transpose neither), or libjpeg fails.
// `damage` learns what reading the blocks found wrong with the data.
QByteArray transformJpegLosslessly(const QByteArray& jpeg, int orientation, PictureDamage* damage = nullptr);
