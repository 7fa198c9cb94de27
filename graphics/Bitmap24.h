#pragma once
// A 24-bit bitmap: three bytes per pixel in blue, green, red order, row 0 at
// the top, rows padded to four bytes so a QImage can wrap it without a copy.
#include "core/LargePages.h"

#include <QImage>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class Bitmap24 {
public:
    // Largest pixel buffer we agree to allocate (1 GiB).
    static constexpr std::uint64_t MaxBytes = std::uint64_t(1) << 30;

    Bitmap24() = default;
    // Zero-filled (black). Throws PictureError when the buffer would pass MaxBytes.
    Bitmap24(int width, int height);

    int width() const noexcept { return m_width; }
    int height() const noexcept { return m_height; }
    int stride() const noexcept { return m_stride; }
    bool isEmpty() const noexcept { return m_width <= 0 || m_height <= 0; }
    std::size_t byteCount() const noexcept { return m_data.size(); }

    std::uint8_t* scanLine(int y) noexcept { return m_data.data() + std::size_t(y) * m_stride; }
    const std::uint8_t* scanLine(int y) const noexcept { return m_data.data() + std::size_t(y) * m_stride; }
    std::uint8_t* bits() noexcept { return m_data.data(); }
    const std::uint8_t* bits() const noexcept { return m_data.data(); }

    // Reallocates to the new size, zero-filled.
    void resize(int width, int height);
    // A bitmap whose pixels the caller overwrites, so they are left as the
    // allocator gives them; the row padding is zeroed all the same, as
    // files written from the rows carry it.
    static Bitmap24 forOverwrite(int width, int height);
    void resizeForOverwrite(int width, int height);
    void fill(std::uint8_t b, std::uint8_t g, std::uint8_t r);

    // Pixels only; the padding bytes at the end of each row are ignored.
    bool samePixels(const Bitmap24& other) const noexcept;
    bool operator==(const Bitmap24& other) const noexcept { return samePixels(other); }

    // A QImage (Format_BGR888) sharing this bitmap's memory: valid only while
    // the bitmap lives and keeps its size.
    QImage wrap() const;
    // Deep conversions to and from Qt images; transparent parts of an
    // image come over white.
    QImage toImage() const;
    static Bitmap24 fromImage(const QImage& image);

    // Row stride for a width, and whether width x height can be allocated.
    static int strideFor(int width) noexcept;
    static bool sizeAllowed(std::int64_t width, std::int64_t height) noexcept;

private:
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;
    void setSize(int width, int height);
    std::vector<std::uint8_t, largepages::Allocator<std::uint8_t>> m_data;
};
