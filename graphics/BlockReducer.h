#pragma once
// A picture made smaller by a whole factor f, each block of f x f pixels
// averaged, fed a row at a time so that the whole frame need never be held
// (a PNG's rows as libpng hands them over) or converted (a decoded frame).
// Columns and rows past the last whole block are left out.
#include <QImage>
#include <QSize>

#include <cstdint>
#include <vector>

class BlockReducer {
public:
    // Rows of `width` pixels, reduced by `factor` (2 or more); `alpha`:
    // averaged premultiplied, into an ARGB32_Premultiplied result.
    BlockReducer(int width, int height, int factor, bool alpha);
    // The largest whole factor that still covers `atLeast` in both
    // directions; below 2 a reduction gains nothing.
    static int factorCovering(QSize size, QSize atLeast);

    // Row `y` as RGBA bytes, straight alpha.
    void take(int y, const std::uint8_t* rgba);
    const QImage& result() const { return m_out; }

private:
    int m_factor;
    bool m_alpha;
    std::vector<std::uint32_t> m_sums; // four per output pixel
    QImage m_out;
};

// `image` reduced by the largest whole factor that still covers `atLeast`,
// without converting the whole frame first; null where no factor of 2 or
// more fits. Opaque pictures only (RGB888, RGB32), which is what a decode
// of a camera's photo gives.
QImage reducedByBlocks(const QImage& image, QSize atLeast);
