#pragma once
#include "graphics/Bitmap24.h"

#include <QImage>

#include <algorithm>
#include <cstdlib>

// The largest difference of any channel between two same-sized bitmaps.
inline int largestDifference(const Bitmap24& a, const Bitmap24& b)
{
    int d = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int i = 0; i < 3 * a.width(); ++i)
            d = std::max(d, std::abs(int(a.scanLine(y)[i]) - int(b.scanLine(y)[i])));
    return d;
}

// The mean of those differences, in levels per channel.
inline double meanDifference(const Bitmap24& a, const Bitmap24& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int i = 0; i < 3 * a.width(); ++i)
            sum += std::abs(int(a.scanLine(y)[i]) - int(b.scanLine(y)[i]));
    return sum / (3.0 * a.width() * a.height());
}

// The same for two images of one size, compared as 24-bit pixels
// (transparent parts over white).
inline int largestDifference(const QImage& a, const QImage& b)
{
    return largestDifference(Bitmap24::fromImage(a), Bitmap24::fromImage(b));
}
inline double meanDifference(const QImage& a, const QImage& b)
{
    return meanDifference(Bitmap24::fromImage(a), Bitmap24::fromImage(b));
}
