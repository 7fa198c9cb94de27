#pragma once
#include <QImage>

// A copy of `image` in large pages when it is big enough for them, else
// `image` itself: for pictures held a while and read again in one go.
QImage copiedToLargePages(const QImage& image);
