#pragma once
// A lossless WebP decoded a row at a time, within a fixed window of the
// pixels before: its back-references reach at most 2^20 - 120 pixels back,
// so a part of a giant one needs some megabytes, not its whole frame as
// libwebp keeps. Rows come out in order: a part lower down is reached by
// decoding the rows above it again.
#include <QByteArray>
#include <QSize>

#include <cstddef>
#include <cstdint>
#include <functional>

class LosslessWebpDecoder {
public:
    // `file` is a whole WebP file; it must outlive the decoder.
    explicit LosslessWebpDecoder(const QByteArray& file);
    LosslessWebpDecoder(const std::uint8_t* bitstream, std::size_t size);

    // A still lossless WebP whose header reads.
    bool isValid() const { return m_bits != nullptr && !m_size.isEmpty(); }
    QSize size() const { return m_size; }
    bool hasAlpha() const { return m_alpha; }

    // Rows 0, 1, ... as ARGB (0xAARRGGBB), each handed to `row` until it
    // returns false or the last came. False where the file ends or is
    // damaged before that. With `fd`, the file the decoder's bytes map,
    // the bitstream is read from it a part at a time, so that a decode
    // through a giant file does not make the whole mapping resident.
    using RowSink = std::function<bool(int y, const std::uint32_t* argb)>;
    bool decodeRows(const RowSink& row, int fd = -1) const;

private:
    void readHeader();

    const std::uint8_t* m_file = nullptr; // the whole file, where given
    const std::uint8_t* m_bits = nullptr; // the lossless bitstream, past its chunk header
    std::size_t m_length = 0;
    QSize m_size;
    bool m_alpha = false;
};
