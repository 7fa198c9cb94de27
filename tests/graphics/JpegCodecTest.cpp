#include "graphics/JpegCodec.h"
#include "core/Errors.h"

#include "Corpus.h"
#include "tests/support/BitmapCompare.h"
#include "tests/support/ErrorText.h"

#include <QImage>
#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// A solid w x h JPEG of one sample value, encoded by libjpeg directly in
// layouts our encoder never writes (grey, CMYK).
QByteArray rawJpeg(J_COLOR_SPACE in, std::vector<JSAMPLE> value, bool adobeMarker)
{
    const int w = 16, h = 8, n = int(value.size());
    std::vector<JSAMPLE> row;
    for (int i = 0; i < w; ++i)
        row.insert(row.end(), value.begin(), value.end());
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = n;
    c.in_color_space = in;
    jpeg_set_defaults(&c);
    c.write_Adobe_marker = adobeMarker;
    jpeg_start_compress(&c, TRUE);
    for (JSAMPROW r = row.data(); c.next_scanline < c.image_height;)
        jpeg_write_scanlines(&c, &r, 1);
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray result(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return result;
}

// A smooth gradient, as JPEG likes: blue grows to the right, green
// downwards, red to the left.
Bitmap24 gradientBitmap(int width, int height)
{
    Bitmap24 b(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = b.scanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = std::uint8_t(x * 255 / (width - 1));
            p[1] = std::uint8_t(y * 255 / (height - 1));
            p[2] = std::uint8_t(128 + (x - y) / 4);
        }
    }
    return b;
}

const QByteArray& testorig()
{
    static const QByteArray data = corpusBytes("jpeg/testorig.jpg");
    return data;
}

} // namespace

// The exact reference is Qt's own JPEG reader over the same library (the
// corpus's PPM comes from a decoder that upsamples colour differently).
TEST(JpegCorpus, ReferenceFileDecodesToTheLibrarysDefaultPixels)
{
    const Bitmap24 decoded = decodeJpeg(testorig());
    ASSERT_EQ(QSize(decoded.width(), decoded.height()), QSize(227, 149));
    QImage viaQt;
    ASSERT_TRUE(viaQt.loadFromData(testorig(), "JPEG")) << "Qt's JPEG reader is not installed";
    EXPECT_TRUE(decoded == Bitmap24::fromImage(viaQt));
    // A cut file still decodes; the top rows arrived whole.
    const Bitmap24 cut = decodeJpeg(testorig().left(testorig().size() * 6 / 10));
    ASSERT_EQ(QSize(cut.width(), cut.height()), QSize(227, 149));
    EXPECT_EQ(QByteArray((const char*)cut.scanLine(0), 227 * 3),
              QByteArray((const char*)decoded.scanLine(0), 227 * 3));
}

TEST(JpegDecoder, GreyAndCmykComeOutAsColour)
{
    // Adobe stores inverted inks: red is C=0 M=Y=full K=0, written 255 0 0 255.
    const struct {
        QByteArray jpeg;
        int blue, green, red, tolerance;
    } cases[] = {{rawJpeg(JCS_GRAYSCALE, {100}, false), 100, 100, 100, 1},
                 {rawJpeg(JCS_CMYK, {255, 0, 0, 255}, true), 0, 0, 255, 2},
                 {rawJpeg(JCS_CMYK, {0, 0, 0, 128}, false), 127, 127, 127, 2}}; // plain inks
    for (const auto& c : cases) {
        const Bitmap24 b = decodeJpeg(c.jpeg);
        ASSERT_EQ(QSize(b.width(), b.height()), QSize(16, 8));
        for (int y = 0; y < 8; ++y)
            for (int i = 0; i < 48; i += 3) {
                const std::uint8_t* p = b.scanLine(y) + i;
                ASSERT_TRUE(std::abs(p[0] - c.blue) <= c.tolerance &&
                            std::abs(p[1] - c.green) <= c.tolerance && std::abs(p[2] - c.red) <= c.tolerance)
                    << &c - cases << ": " << int(p[0]) << " " << int(p[1]) << " " << int(p[2]);
            }
    }
}

TEST(JpegEncoder, RoundTripKeepsSizeAndColoursAtQuality90)
{
    const Bitmap24 original = gradientBitmap(67, 41); // blue grows to the right, red to the left
    const QByteArray jpeg = encodeJpeg(original);
    const JpegInfo info = readJpegHeader(jpeg);
    EXPECT_EQ(QList<int>({info.width, info.height, info.components}), QList<int>({67, 41, 3}));
    EXPECT_TRUE(jpeg.contains(QByteArray::fromHex("FFC0"))); // baseline, which every reader takes
    const Bitmap24 back = decodeJpeg(jpeg);
    ASSERT_EQ(QSize(back.width(), back.height()), QSize(67, 41));
    EXPECT_LE(largestDifference(original, back), 12);
    EXPECT_NEAR(back.scanLine(20)[66 * 3], 255, 12);
    EXPECT_NEAR(back.scanLine(20)[2], 123, 12);
    EXPECT_EQ(errorText([] { encodeJpeg(Bitmap24()); }),
              msg::pictureLayoutUnwritable(QString(), msg::jpegError(JERR_EMPTY_IMAGE)));
}
