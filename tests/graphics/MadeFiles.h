#pragma once
// Picture files made by the libraries themselves, or field by field, in
// layouts our own writers never produce.
#include "core/LittleEndian.h"
#include "graphics/Bitmap24.h"

#include <QByteArray>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <turbojpeg.h>

// A JPEG of `b` by TurboJPEG, in its chroma sampling (TJSAMP_*).
inline QByteArray tjJpeg(const Bitmap24& b, int sampling, int quality = 85, int flags = 0)
{
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(h, b.bits(), b.width(), b.stride(), b.height(), TJPF_BGR, &out, &size, sampling,
                          quality, flags),
              0);
    QByteArray jpeg(reinterpret_cast<const char*>(out), qsizetype(size));
    tjFree(out);
    tjDestroy(h);
    return jpeg;
}

// A w x h JPEG by libjpeg from `samples` given in `in` (rows one after the
// other), coded in `coded` (JCS_UNKNOWN: libjpeg's choice), with or
// without an Adobe marker, and `app2` as an APP2 segment where given.
inline QByteArray libjpegFile(int w, int h, J_COLOR_SPACE in, const QByteArray& samples, bool adobe,
                              J_COLOR_SPACE coded = JCS_UNKNOWN, int quality = 75,
                              const QByteArray& app2 = {})
{
    const int components = int(samples.size() / (qsizetype(w) * h));
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = components;
    c.in_color_space = in;
    jpeg_set_defaults(&c);
    if (coded != JCS_UNKNOWN)
        jpeg_set_colorspace(&c, coded);
    jpeg_set_quality(&c, quality, TRUE);
    c.write_Adobe_marker = adobe;
    jpeg_start_compress(&c, TRUE);
    if (!app2.isEmpty())
        jpeg_write_marker(&c, JPEG_APP0 + 2, reinterpret_cast<const JOCTET*>(app2.constData()),
                          unsigned(app2.size()));
    while (c.next_scanline < c.image_height) {
        auto row = reinterpret_cast<JSAMPROW>(const_cast<char*>(samples.constData())) +
                   c.next_scanline * w * components;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray jpeg(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return jpeg;
}

// A bitmap file's 54 bytes of headers (a 40-byte info header) for
// `between` bytes of masks and palette and then `pixelBytes` of pixels.
inline QByteArray bmpHeader(qint32 width, qint32 height, quint16 bits, quint32 compression,
                            quint32 colorsUsed, qsizetype between = 0, qsizetype pixelBytes = 0)
{
    QByteArray out(54, '\0');
    out[0] = 'B';
    out[1] = 'M';
    const quint32 offset = quint32(54 + between);
    for (auto [at, v] : {std::pair{2, offset + quint32(pixelBytes)},
                         {10, offset},
                         {14, 40u},
                         {18, quint32(width)},
                         {22, quint32(height)},
                         {30, compression},
                         {34, quint32(pixelBytes)},
                         {46, colorsUsed}})
        putLe32(out, at, v);
    putLe16(out, 26, 1);
    putLe16(out, 28, bits);
    return out;
}
