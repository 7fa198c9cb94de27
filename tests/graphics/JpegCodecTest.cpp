#include "graphics/JpegCodec.h"
#include "core/Errors.h"

#include "Corpus.h"
#include "MadeFiles.h"
#include "tests/support/BitmapCompare.h"
#include "tests/support/ErrorText.h"

#include <QImage>
#include <gtest/gtest.h>

#include <jerror.h>

namespace {

// A solid 16 x 8 JPEG of one sample value, in layouts our encoder never
// writes (grey, CMYK).
QByteArray solidJpeg(J_COLOR_SPACE in, const QByteArray& value, bool adobeMarker)
{
    return libjpegFile(16, 8, in, value.repeated(16 * 8), adobeMarker);
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

} // namespace

// The exact reference is Qt's own JPEG reader over the same library (the
// corpus's PPM comes from a decoder that upsamples colour differently).
TEST(JpegCorpus, ReferenceFileDecodesToTheLibrarysDefaultPixels)
{
    const QByteArray testorig = corpusBytes("jpeg/testorig.jpg");
    const Bitmap24 decoded = decodeJpeg(testorig);
    ASSERT_EQ(QSize(decoded.width(), decoded.height()), QSize(227, 149));
    QImage viaQt;
    ASSERT_TRUE(viaQt.loadFromData(testorig, "JPEG")) << "Qt's JPEG reader is not installed";
    EXPECT_TRUE(decoded == Bitmap24::fromImage(viaQt));
    // A cut file still decodes; the top rows arrived whole.
    const Bitmap24 cut = decodeJpeg(testorig.left(testorig.size() * 6 / 10));
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
    } cases[] = {{solidJpeg(JCS_GRAYSCALE, QByteArray(1, char(100)), false), 100, 100, 100, 1},
                 {solidJpeg(JCS_CMYK, QByteArray::fromHex("ff0000ff"), true), 0, 0, 255, 2},
                 {solidJpeg(JCS_CMYK, QByteArray::fromHex("00000080"), false), 127, 127, 127, 2}}; // plain inks
    for (const auto& c : cases) {
        const Bitmap24 b = decodeJpeg(c.jpeg);
        ASSERT_EQ(QSize(b.width(), b.height()), QSize(16, 8));
        Bitmap24 expected(16, 8);
        expected.fill(std::uint8_t(c.blue), std::uint8_t(c.green), std::uint8_t(c.red));
        EXPECT_LE(largestDifference(b, expected), c.tolerance) << &c - cases;
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
