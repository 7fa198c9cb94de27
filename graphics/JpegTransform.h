#pragma once
// Lossless JPEG transforms through TurboJPEG: the DCT blocks are moved, not
// decoded and encoded again.
#include <QByteArray>

// `jpeg` laid out by the orientation transform (1..8, see Orientation.h),
// every marker kept. Empty when the picture's width or height is not a whole
// number of MCUs (the edge blocks could not move whole) or TurboJPEG fails.
QByteArray transformJpegLosslessly(const QByteArray& jpeg, int orientation);

// `jpeg` with its first EXIF segment's payload replaced by `exif`: inserted
// after the start marker when there was none, removed when `exif` is empty.
// Answers `jpeg` unchanged when its marker segments can't be followed.
QByteArray replaceExifSegment(const QByteArray& jpeg, const QByteArray& exif);
