#include "graphics/JpegCodec.h"
#include "core/Errors.h"

#include "TestFiles.h"

#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace {

QString jpegErrorText(const QByteArray& data, int denom = 1)
{
    try {
        decodeJpeg(data, denom);
    } catch (const AppError& e) {
        return e.text();
    }
    return QString();
}

// Encodes raw samples with libjpeg directly, for colour layouts our encoder
// never writes (grey, CMYK, YCCK).
QByteArray rawJpeg(int width, int height, int components, J_COLOR_SPACE in,
                   const std::vector<JSAMPLE>& samples, J_COLOR_SPACE stored, bool adobeMarker)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = components;
    c.in_color_space = in;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, stored);
    c.write_Adobe_marker = adobeMarker;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row =
            const_cast<JSAMPLE*>(samples.data()) + std::size_t(c.next_scanline) * width * components;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray result(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return result;
}

std::vector<JSAMPLE> solid(int width, int height, std::vector<JSAMPLE> value)
{
    std::vector<JSAMPLE> out;
    for (int i = 0; i < width * height; ++i)
        out.insert(out.end(), value.begin(), value.end());
    return out;
}

// Largest difference of any channel between two same-sized bitmaps.
int maxDifference(const Bitmap24& a, const Bitmap24& b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int i = 0; i < a.width() * 3; ++i)
            worst = std::max(worst, std::abs(int(a.scanLine(y)[i]) - int(b.scanLine(y)[i])));
    return worst;
}

void expectAllPixels(const Bitmap24& b, int blue, int green, int red, int tolerance)
{
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const std::uint8_t* p = b.scanLine(y) + 3 * x;
            ASSERT_NEAR(p[0], blue, tolerance) << x << "," << y;
            ASSERT_NEAR(p[1], green, tolerance) << x << "," << y;
            ASSERT_NEAR(p[2], red, tolerance) << x << "," << y;
        }
}

// The start-of-frame marker's offset (the byte after FF Cn).
qsizetype frameHeader(const QByteArray& jpeg)
{
    for (qsizetype i = 0; i + 1 < jpeg.size(); ++i)
        if (quint8(jpeg[i]) == 0xFF && (quint8(jpeg[i + 1]) == 0xC0 || quint8(jpeg[i + 1]) == 0xC2))
            return i + 2;
    return -1;
}

QByteArray withFrameSize(QByteArray jpeg, int width, int height)
{
    const qsizetype sof = frameHeader(jpeg);
    jpeg[sof + 3] = char(height >> 8);
    jpeg[sof + 4] = char(height);
    jpeg[sof + 5] = char(width >> 8);
    jpeg[sof + 6] = char(width);
    return jpeg;
}

} // namespace

// testorig.ppm comes from a decoder that upsamples colour differently from
// libjpeg-turbo's 6b-compatible default (at most 3 levels apart on about one
// sample in six), so the exact reference is Qt's own JPEG reader over the
// same library, and the PPM is checked to that tolerance.
TEST(JpegCorpus, ReferenceFileDecodesToTheLibrarysDefaultPixels)
{
    const QByteArray data = corpusBytes("jpeg/testorig.jpg");
    const Bitmap24 decoded = decodeJpeg(data);
    ASSERT_EQ(decoded.width(), 227);
    ASSERT_EQ(decoded.height(), 149);

    QImage viaQt;
    if (viaQt.loadFromData(data, "JPEG"))
        EXPECT_TRUE(decoded == Bitmap24::fromImage(viaQt));
    else
        ADD_FAILURE() << "Qt's JPEG reader is not installed";

    const QImage ppm(corpusPath("jpeg/testorig.ppm"));
    ASSERT_FALSE(ppm.isNull());
    const Bitmap24 reference = Bitmap24::fromImage(ppm);
    EXPECT_LE(maxDifference(decoded, reference), 3);
    int differing = 0;
    for (int y = 0; y < decoded.height(); ++y)
        for (int i = 0; i < decoded.width() * 3; ++i)
            differing += decoded.scanLine(y)[i] != reference.scanLine(y)[i];
    EXPECT_LT(differing, 227 * 149 * 3 / 5);

    const JpegInfo info = readJpegHeader(data);
    EXPECT_EQ(info.width, 227);
    EXPECT_EQ(info.height, 149);
    EXPECT_EQ(info.components, 3);
}

TEST(JpegCorpus, ProgressiveAndArithmeticFilesDecodeToTheSamePicture)
{
    const Bitmap24 baseline = decodeJpeg(corpusBytes("jpeg/testorig.jpg"));
    for (const char* name : {"jpeg/testimgint.jpg", "jpeg/testimgari.jpg"}) {
        SCOPED_TRACE(name);
        const Bitmap24 b = decodeJpeg(corpusBytes(name));
        ASSERT_EQ(b.width(), 227);
        ASSERT_EQ(b.height(), 149);
        // Other encodings of the same photograph: close, not identical.
        double sum = 0;
        for (int y = 0; y < b.height(); ++y)
            for (int i = 0; i < b.width() * 3; ++i)
                sum += std::abs(int(b.scanLine(y)[i]) - int(baseline.scanLine(y)[i]));
        EXPECT_LT(sum / (227.0 * 149 * 3), 6.0);
    }
}

TEST(JpegCorpus, TwelveBitFileEndsInAJpegError)
{
    const QByteArray data = corpusBytes("jpeg/monkey12.jpg");
    EXPECT_EQ(jpegErrorText(data), msg::jpegError(JERR_BAD_PRECISION));
    EXPECT_THROW(readJpegHeader(data), AppError);
}

TEST(JpegDecoder, ScaledDecodingRoundsSizesUp)
{
    const QByteArray data = corpusBytes("jpeg/testorig.jpg");
    const Bitmap24 full = decodeJpeg(data, 1);
    const struct {
        int denom, width, height;
    } cases[] = {{2, 114, 75}, {4, 57, 38}, {8, 29, 19}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.denom);
        const Bitmap24 scaled = decodeJpeg(data, c.denom);
        EXPECT_EQ(scaled.width(), c.width);
        EXPECT_EQ(scaled.height(), c.height);
        // Still the same picture: the centre pixel is close to the full one's.
        const std::uint8_t* s = scaled.scanLine(c.height / 2) + 3 * (c.width / 2);
        const std::uint8_t* f = full.scanLine(c.height / 2 * c.denom) + 3 * (c.width / 2 * c.denom);
        for (int ch = 0; ch < 3; ++ch)
            EXPECT_NEAR(s[ch], f[ch], 40);
    }
}

TEST(JpegDecoder, GreyCmykAndYcckComeOutAsColour)
{
    const int w = 16, h = 8;
    const Bitmap24 grey =
        decodeJpeg(rawJpeg(w, h, 1, JCS_GRAYSCALE, solid(w, h, {100}), JCS_GRAYSCALE, false));
    EXPECT_EQ(grey.width(), w);
    expectAllPixels(grey, 100, 100, 100, 1);

    // Adobe stores inverted inks: red is C=0 M=Y=full K=0, written 255 0 0 255.
    const auto invertedRed = solid(w, h, {255, 0, 0, 255});
    expectAllPixels(decodeJpeg(rawJpeg(w, h, 4, JCS_CMYK, invertedRed, JCS_CMYK, true)), 0, 0, 255, 2);
    expectAllPixels(decodeJpeg(rawJpeg(w, h, 4, JCS_CMYK, invertedRed, JCS_YCCK, true)), 0, 0, 255, 3);
    // Without the Adobe marker inks are plain: 50% black.
    expectAllPixels(decodeJpeg(rawJpeg(w, h, 4, JCS_CMYK, solid(w, h, {0, 0, 0, 128}), JCS_CMYK, false)), 127,
                    127, 127, 2);
}

TEST(JpegDecoder, TruncatedFileStillDecodes)
{
    const QByteArray data = corpusBytes("jpeg/testorig.jpg");
    const Bitmap24 full = decodeJpeg(data);
    const Bitmap24 cut = decodeJpeg(data.left(data.size() * 6 / 10));
    ASSERT_EQ(cut.width(), 227);
    ASSERT_EQ(cut.height(), 149);
    // The top rows arrived whole.
    EXPECT_EQ(std::memcmp(cut.scanLine(0), full.scanLine(0), 227 * 3), 0);
}

TEST(JpegDecoder, DamagedDataEndsInLibjpegsErrorCode)
{
    EXPECT_EQ(jpegErrorText(QByteArray()), msg::jpegError(JERR_INPUT_EMPTY));
    EXPECT_EQ(jpegErrorText("This is a text file named like a picture.\n"), msg::jpegError(JERR_NO_SOI));
    EXPECT_EQ(jpegErrorText(corpusBytes("jpeg/testorig.jpg").left(2)), msg::jpegError(JERR_NO_IMAGE));
    const QByteArray zeroHeight = withFrameSize(corpusBytes("jpeg/testorig.jpg"), 227, 0);
    EXPECT_EQ(jpegErrorText(zeroHeight), msg::jpegError(JERR_EMPTY_IMAGE));
}

TEST(JpegDecoder, RefusesAbsurdSizesBeforeDecoding)
{
    const QByteArray huge = withFrameSize(corpusBytes("jpeg/testorig.jpg"), 60000, 60000);
    const QString message = "Picture too large (60000 x 60000 pixels)";
    EXPECT_EQ(jpegErrorText(huge), message);
    // Even a 1/8 decode would buffer the full picture.
    EXPECT_EQ(jpegErrorText(huge, 8), message);
    try {
        readJpegHeader(huge);
        ADD_FAILURE() << "header accepted";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), message);
    }
    // Big but allowed: the header is fine.
    EXPECT_EQ(readJpegHeader(withFrameSize(corpusBytes("jpeg/testorig.jpg"), 16000, 16000)).width, 16000);
}

TEST(JpegEncoder, RoundTripKeepsSizeAndColoursAtQuality90)
{
    const Bitmap24 original = gradientBitmap(67, 41);
    const QByteArray jpeg = encodeJpeg(original);
    const JpegInfo info = readJpegHeader(jpeg);
    EXPECT_EQ(info.width, 67);
    EXPECT_EQ(info.height, 41);
    EXPECT_EQ(info.components, 3);
    // Baseline frame, quality 90: the first luminance quantiser is 3 (75 gives 8).
    const qsizetype sof = frameHeader(jpeg);
    ASSERT_GT(sof, 0);
    EXPECT_EQ(quint8(jpeg[sof - 1]), 0xC0);
    const qsizetype dqt = jpeg.indexOf(QByteArray::fromHex("FFDB"));
    ASSERT_GT(dqt, 0);
    EXPECT_EQ(quint8(jpeg[dqt + 4]), 0x00); // 8-bit table 0
    EXPECT_EQ(quint8(jpeg[dqt + 5]), 3);

    const Bitmap24 back = decodeJpeg(jpeg);
    ASSERT_EQ(back.width(), 67);
    ASSERT_EQ(back.height(), 41);
    EXPECT_LE(maxDifference(original, back), 12);
    // Red and blue are not swapped on the way.
    EXPECT_NEAR(back.scanLine(20)[66 * 3], 255, 12);
    EXPECT_NEAR(back.scanLine(20)[2], 123, 12);
}

TEST(JpegEncoder, RefusesAnEmptyBitmapWithAJpegError)
{
    try {
        encodeJpeg(Bitmap24());
        ADD_FAILURE() << "empty bitmap encoded";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), msg::jpegError(JERR_EMPTY_IMAGE));
    }
}

// Truncations and random damage of real files: each decodes or ends in a
// JPEG error (or the size refusal), never a crash.
TEST(JpegDecoder, DamagedFilesNeverCrash)
{
    std::mt19937 rng(99);
    for (const char* name : {"jpeg/testorig.jpg", "jpeg/testimgint.jpg", "jpeg/testimgari.jpg"}) {
        SCOPED_TRACE(name);
        const QByteArray original = corpusBytes(name);
        auto check = [](const QByteArray& data, int denom) {
            try {
                const Bitmap24 b = decodeJpeg(data, denom);
                EXPECT_FALSE(b.isEmpty());
            } catch (const AppError& e) {
                EXPECT_TRUE(e.text().startsWith("JPEG error #") || e.text().startsWith("Picture too large"))
                    << e.text().toStdString();
            }
        };
        for (int len = 0; len < original.size(); len += 1 + len / 8)
            check(original.left(len), 1);
        for (int round = 0; round < 200; ++round) {
            QByteArray damaged = original;
            const int limit = round % 2 ? 700 : int(damaged.size());
            for (int i = 0; i < 3; ++i)
                damaged[int(rng() % unsigned(limit))] = char(rng());
            check(damaged, 1 << (round % 4));
        }
    }
}
