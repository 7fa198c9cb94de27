// Our row by row lossless WebP decoder against libwebp's decode of the
// same files, written by libwebp's encoder with each of its tools.
#include "graphics/LosslessWebp.h"
#include "graphics/Picture.h"
#include "tests/graphics/Corpus.h"

#include <QTemporaryFile>
#include <QtEndian>

#include <gtest/gtest.h>
#include <webp/decode.h>
#include <webp/encode.h>

#include <functional>

namespace {

QByteArray losslessWebp(const QImage& image, int method, int quality)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = 1;
    config.method = method;
    config.quality = float(quality);
    config.exact = 1; // keeps the colour under transparent pixels, which our decoder must give as well
    WebPPicture picture;
    WebPPictureInit(&picture);
    picture.use_argb = 1;
    picture.width = rgba.width();
    picture.height = rgba.height();
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const bool ok = WebPPictureImportRGBA(&picture, rgba.constBits(), int(rgba.bytesPerLine())) &&
                    WebPEncode(&config, &picture);
    QByteArray file = ok ? QByteArray(reinterpret_cast<const char*>(writer.mem), qsizetype(writer.size)) : QByteArray();
    WebPMemoryWriterClear(&writer);
    WebPPictureFree(&picture);
    return file;
}

// ARGB words: libwebp's BGRA bytes on this little-endian machine.
std::vector<std::uint32_t> libwebpPixels(const QByteArray& file)
{
    int width = 0, height = 0;
    std::uint8_t* bgra = WebPDecodeBGRA(reinterpret_cast<const std::uint8_t*>(file.constData()),
                                        std::size_t(file.size()), &width, &height);
    if (!bgra)
        return {};
    std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height));
    std::memcpy(pixels.data(), bgra, pixels.size() * 4);
    WebPFree(bgra);
    return pixels;
}

// The rows handed over, one after another, until the decode ended.
std::vector<std::uint32_t> ourPixels(const QByteArray& file, bool* complete, int fd = -1)
{
    const LosslessWebpDecoder decoder(file);
    std::vector<std::uint32_t> pixels;
    int next = 0;
    *complete = decoder.decodeRows([&](int y, const std::uint32_t* row) {
        EXPECT_EQ(y, next++);
        pixels.insert(pixels.end(), row, row + decoder.size().width());
        return true;
    }, fd);
    return pixels;
}

QImage photo(int width)
{
    return QImage(corpusPath("camera/DSCN0010.jpg")).scaledToWidth(width, Qt::SmoothTransformation);
}

// Few colours take the palette, packed 8, 4, 2 or 1 to a pixel.
QImage colours(int count)
{
    QImage image(301, 97, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(((x / 7 + y / 5) % count) * 255 / count, (x * y / 97) % count * 3, 90));
    return image;
}

QImage fading(QImage image)
{
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = (line[x] & 0xffffffu) | (std::uint32_t(x * 255 / image.width()) << 24);
    }
    return image;
}

struct Encoding {
    const char* name;
    std::function<QImage()> picture;
    int method, quality;
};

class LosslessWebp : public ::testing::TestWithParam<Encoding> {};

TEST_P(LosslessWebp, GivesLibwebpsPixelsRowByRow)
{
    const QByteArray file = losslessWebp(GetParam().picture(), GetParam().method, GetParam().quality);
    ASSERT_FALSE(file.isEmpty());
    const std::vector<std::uint32_t> expected = libwebpPixels(file);
    bool complete = false;
    const std::vector<std::uint32_t> got = ourPixels(file, &complete);
    EXPECT_TRUE(complete);
    ASSERT_EQ(got.size(), expected.size());
    const auto differs = std::mismatch(got.begin(), got.end(), expected.begin());
    EXPECT_TRUE(differs.first == got.end()) << "first wrong pixel " << (differs.first - got.begin());

    // The same read from the file a part at a time.
    QTemporaryFile saved;
    ASSERT_TRUE(saved.open() && saved.write(file) == file.size() && saved.flush());
    EXPECT_TRUE(ourPixels(file, &complete, int(saved.handle())) == got);
    EXPECT_TRUE(complete);

    // Cut short anywhere, the rows that came are still right and the
    // decode says it failed.
    for (const double kept : {0.02, 0.5, 0.97}) {
        const QByteArray cut = file.left(qsizetype(double(file.size()) * kept));
        const std::vector<std::uint32_t> rows = ourPixels(cut, &complete);
        EXPECT_FALSE(complete) << kept;
        ASSERT_LE(rows.size(), expected.size());
        EXPECT_TRUE(std::equal(rows.begin(), rows.end(), expected.begin())) << kept;
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Encodings, LosslessWebp, ::testing::Values(
    Encoding{"PhotoFastest", [] { return photo(640); }, 0, 0},
    Encoding{"PhotoDefault", [] { return photo(640); }, 4, 75},
    Encoding{"PhotoSmallest", [] { return photo(160); }, 6, 90},
    Encoding{"PhotoPastTheWindowKept", [] { return photo(1800); }, 0, 0}, // 2.3 megapixels
    Encoding{"TwoColours", [] { return colours(2); }, 4, 75},
    Encoding{"FourColours", [] { return colours(4); }, 4, 75},
    Encoding{"SixteenColours", [] { return colours(16); }, 5, 90},
    Encoding{"ManyColours", [] { return colours(200); }, 5, 90},
    Encoding{"Alpha", [] { return fading(photo(200)); }, 4, 75},
    Encoding{"OneColumn", [] { return photo(300).copy(5, 0, 1, 200); }, 4, 75},
    Encoding{"OneRow", [] { return photo(300).copy(0, 5, 300, 1); }, 4, 75}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// One colour: every pixel is read with codes of no bits, so a file of a
// few bytes says a picture of any size.
QByteArray solidLosslessWebp(QSize size, QRgb color)
{
    QByteArray bits;
    const auto put = [&](std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i)
            bits.append(char((value >> i) & 1));
    };
    put(0x2f, 8);
    put(std::uint32_t(size.width() - 1), 14);
    put(std::uint32_t(size.height() - 1), 14);
    put(0, 1 + 3 + 1 + 1 + 1); // no alpha, version 0, no transform, colour cache or meta codes
    for (const int channel : {qGreen(color), qRed(color), qBlue(color), qAlpha(color)}) {
        put(1, 1); // a simple code of one symbol, written in eight bits
        put(0, 1);
        put(1, 1);
        put(std::uint32_t(channel), 8);
    }
    put(0b0001, 4); // the distance code: its one symbol 0, in one bit
    QByteArray stream((bits.size() + 7) / 8, '\0');
    for (qsizetype i = 0; i < bits.size(); ++i)
        stream[i / 8] = char(stream[i / 8] | (bits[i] << (i % 8)));
    const auto le32 = [](qsizetype v) {
        QByteArray b(4, '\0');
        qToLittleEndian(quint32(v), b.data());
        return b;
    };
    if (stream.size() % 2)
        stream.append('\0');
    return "RIFF" + le32(4 + 8 + stream.size()) + "WEBPVP8L" + le32(stream.size()) + stream;
}

// A band or a fitted view of a giant lossless WebP holds some megabytes,
// where libwebp held its whole frame (a gigabyte at the largest size).
TEST(LosslessWebpGiant, BandAndFittedViewTakeAFewMegabytes)
{
    const QRgb color = qRgb(200, 30, 70);
    EXPECT_EQ(libwebpPixels(solidLosslessWebp(QSize(33, 17), color)),
              std::vector<std::uint32_t>(33 * 17, color));
    const Picture giant =
        Picture::readHere(solidLosslessWebp(QSize(8000, 8000), color), PictureFormat::WebP, ExifOrientation::Apply);
    ASSERT_EQ(giant.size(), QSize(8000, 8000));
    ASSERT_TRUE(putBytes("/proc/self/clear_refs", "5"));
    const qint64 before = procNumber("/proc/self/status", "VmHWM:");
    QRect band(7800, 7900, 300, 300);
    const QImage corner = giant.decodedBand(&band, false, 1);
    const QImage fitted = giant.decodedCovering(QSize(800, 600), false);
    EXPECT_LT(procNumber("/proc/self/status", "VmHWM:") - before, 64 << 10) << "KiB";
    EXPECT_EQ(band, QRect(7800, 7900, 200, 100));
    ASSERT_EQ(corner.size(), band.size());
    EXPECT_EQ(corner.pixel(199, 99), color);
    ASSERT_GE(fitted.width(), 800);
    EXPECT_EQ(fitted.pixel(fitted.width() / 2, fitted.height() / 2), color);
}

} // namespace
