#pragma once
// Pixels exactly as a file stores them: any number of samples of any bit
// depth, rows packed with the first pixel in the high bits, as PNG and TIFF
// lay them out. Turning these moves bits, never values, so a quarter turn
// keeps 16-bit samples, unassociated alpha, CMYK or a palette as they are.
#include <QSize>

#include <cstddef>
#include <cstdint>
#include <vector>

class SampleRaster {
public:
    SampleRaster() = default;
    // Zero-filled. Throws PictureError::tooLarge past the picture limit.
    SampleRaster(int width, int height, int bitsPerPixel);

    int width() const noexcept { return m_width; }
    int height() const noexcept { return m_height; }
    QSize size() const noexcept { return QSize(m_width, m_height); }
    int bitsPerPixel() const noexcept { return m_bits; }
    std::size_t stride() const noexcept { return m_stride; }
    bool isEmpty() const noexcept { return m_width <= 0 || m_height <= 0; }

    std::uint8_t* row(int y) noexcept { return m_data.data() + std::size_t(y) * m_stride; }
    const std::uint8_t* row(int y) const noexcept { return m_data.data() + std::size_t(y) * m_stride; }

    // The stored pixels brought upright by an EXIF orientation (1..8; see
    // Orientation.h).
    SampleRaster oriented(int orientation) const;

    // Sample `index` of pixel (x, y), `bits` wide (1, 2, 4, 8 or 16; 16-bit
    // samples big-endian, as PNG stores them: TIFF rows are brought to that
    // order when read).
    unsigned sample(int x, int y, int index, int bits) const noexcept;
    void setSample(int x, int y, int index, int bits, unsigned value) noexcept;

private:
    int m_width = 0, m_height = 0, m_bits = 0;
    std::size_t m_stride = 0;
    std::vector<std::uint8_t> m_data;
};
