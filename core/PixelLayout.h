#pragma once
// Where pixels that travel in a sealed memfd sit: a QImage's layout, and the
// part of the picture they show. They come untagged: their colour space is
// the reply's profile, or sRGB when display colours were asked for (the
// viewer parses no profile).
#include "core/WireReader.h"
#include "core/WireWriter.h"

#include <QRect>
#include <QSize>

struct PixelLayout {
    QSize size;
    qint32 bytesPerLine = 0;
    quint32 format = 0; // a QImage::Format
    QRect region;       // a band's place in the picture; the whole picture otherwise

    // From the first byte of the memfd; bytesPerLine * height bytes.
    qint64 byteCount() const noexcept { return qint64(bytesPerLine) * size.height(); }
    void write(WireWriter& out) const;
    static PixelLayout read(WireReader& in);
};
