#include "graphics/Picture.h"
#include "core/Errors.h"
#include "graphics/BmpCodec.h"
#include "graphics/JpegCodec.h"
#include "graphics/JpegSegments.h"
#include "core/LargePages.h"
#include "graphics/LargePageImage.h"

#include "Corpus.h"
#include "core/AtomicFile.h"
#include "graphics/Orientation.h"
#include "tests/support/BitmapCompare.h"
#include "tests/support/CameraPictures.h"
#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/KindPictures.h"
#include "tests/support/TestPictures.h"

#include <QColorSpace>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Copies share their pixels, yet painting into an image of one must not
// change it, and an image keeps the pixels alive after the picture is gone.
TEST(PictureSharing, ImagesOutliveThePictureAndNeverWriteThroughIt)
{
    const Picture original = Picture::fromBitmap(testpics::pattern(40, 30, 7));
    const Bitmap24 expected = original.bitmap();
    QImage image;
    {
        const Picture transient = Picture::fromBitmap(testpics::pattern(40, 30, 7));
        image = transient.toImage();
    }
    EXPECT_TRUE(Bitmap24::fromImage(image) == expected);
    QImage view = Picture(original).toImage();
    view.setPixel(0, 0, 0xff123456);
    EXPECT_TRUE(original.bitmap() == expected);
}

// Each form is written as held (a bitmap as a 24-bit BMP whatever the name
// says); an empty picture ends in the program's message and leaves what was
// there. Failing disks are the fault-injection table's.
TEST(PictureSave, WritesTheFormHeldOrNothing)
{
    QTemporaryDir dir;
    const QByteArray jpeg = corpusBytes("jpeg/testorig.jpg");
    Picture::fromJpegData(jpeg).saveToFile(dir.filePath("copy.jpg"));
    EXPECT_EQ(fileBytes(dir.filePath("copy.jpg")), jpeg);
    const Bitmap24 pixels = testpics::pattern(13, 7, 3);
    Picture::fromBitmap(pixels).saveToFile(dir.filePath("rotated.jpg"));
    EXPECT_TRUE(decodeBmp(fileBytes(dir.filePath("rotated.jpg"))) == pixels);
    const QByteArray ico = kinds::encoded(kinds::quadrants(16, 16), "ico");
    ASSERT_FALSE(ico.isEmpty());
    Picture::fromOtherData(ico, PictureFormat::Icon).saveToFile(dir.filePath("b.ico"));
    EXPECT_EQ(fileBytes(dir.filePath("b.ico")), ico);

    const QString kept = dir.filePath("keep.bmp");
    writeFileAtomically(kept, "precious");
    EXPECT_EQ(errorText([&] { Picture().saveToFile(kept); }),
              msg::cannotCreate(kept, "The picture is empty."));
    EXPECT_EQ(fileBytes(kept), "precious");
}

// What a JPEG written again from new pixels keeps of its source's segments:
// everything in order, but what described the old encoding.
struct KeptCase {
    const char* name;
    QList<JpegSegment> source;
    QList<JpegSegment> written;
};

class ReplacementSegments : public ::testing::TestWithParam<KeptCase> {};

const QByteArray Jfif("JFIF\0\1\2\1\0\x48\0\x48\0\0", 14);
const QByteArray JfifWithThumbnail = QByteArray("JFIF\0\1\2\1\0\x48\0\x48\1\1", 14) + QByteArray(3, '\x7f');
const QByteArray Xmp = QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) + "<x:xmpmeta><dc:title>Sea</dc:title></x:xmpmeta>";
const QByteArray ExtendedXmp = QByteArray("http://ns.adobe.com/xmp/extension/\0", 35) + QByteArray(40, 'e');
const QByteArray Iptc = QByteArray("Photoshop 3.0\0", 14) + "8BIM\4\4";
const QByteArray RgbIcc = QByteArray("ICC_PROFILE\0\1\2", 14) + QByteArray(16, '\0') + "RGB ";
const QByteArray CmykIcc = QByteArray("ICC_PROFILE\0\1\1", 14) + QByteArray(16, '\0') + "CMYK";
const QByteArray Adobe("Adobe\0\x64\0\0\0\0\1", 12);

TEST_P(ReplacementSegments, KeepEverythingButTheOldEncodingsMarkers)
{
    const KeptCase& c = GetParam();
    const Picture source =
        Picture::fromJpegData(encodeJpeg(testpics::pattern(24, 16, 1), 90, JpegMetadata{false, c.source}));
    const QByteArray written = source.encodeJpegReplacement(testpics::pattern(24, 16, 2));
    EXPECT_EQ(readJpegSegments(written), c.written);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Jpeg, ReplacementSegments, ::testing::Values(
    KeptCase{"XmpIptcCommentsAndMakersOwnInOrder",
             {{0xE1, Xmp}, {0xE1, ExtendedXmp}, {0xED, Iptc}, {0xFE, "first"}, {0xE9, "maker"}, {0xFE, "second"}},
             {{0xE1, Xmp}, {0xE1, ExtendedXmp}, {0xED, Iptc}, {0xFE, "first"}, {0xE9, "maker"}, {0xFE, "second"}}},
    KeptCase{"ProfileInEveryChunk", {{0xE2, RgbIcc}, {0xE2, RgbIcc + "2"}}, {{0xE2, RgbIcc}, {0xE2, RgbIcc + "2"}}},
    KeptCase{"JfifWithoutItsThumbnail", {{0xE0, JfifWithThumbnail}, {0xE0, QByteArray("JFXX\0\x10", 6)}, {0xFE, "c"}},
             {{0xE0, Jfif}, {0xFE, "c"}}},
    KeptCase{"AdobeAndACmykProfileDescribeTheOldEncoding", {{0xEE, Adobe}, {0xE2, CmykIcc}, {0xFE, "c"}}, {{0xFE, "c"}}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Upright at every scale and turn: a tile of a giant picture is one band.
// JPEG scales as libjpeg does; the other kinds average blocks, as the whole
// decode scaled smoothly does within a step of rounding.
TEST(BandDecode, GivesTheWholeDecodesPixelsOfTheBand)
{
    const Bitmap24 stored = testpics::pattern(304, 200, 3);
    const auto exif = [](int o) { return kinds::exifBlock(false, o); };
    const struct {
        const char* name;
        PictureFormat format;
        std::function<QByteArray(int)> make;
    } made[] = {
        {"JPEG", PictureFormat::Jpeg, [&](int o) { return camera::cameraJpeg(stored, o); }},
        {"PNG", PictureFormat::Png,
         [&](int o) { return kinds::withPngChunk(kinds::encoded(stored.toImage(), "png"), "eXIf", exif(o)); }},
        {"InterlacedPNG", PictureFormat::Png,
         [&](int o) { return kinds::withPngChunk(kinds::interlacedPng(stored.toImage()), "eXIf", exif(o)); }},
        {"WebP", PictureFormat::WebP, [&](int o) { return kinds::webp(stored.toImage(), exif(o)); }},
        {"TIFF", PictureFormat::Tiff, [&](int o) { return kinds::tiff(stored.toImage(), o); }},
    };
    for (const auto& kind : made)
        for (const int orientation : {1, 3, 6, 7}) {
            const QByteArray file = kind.make(orientation);
            const Picture picture = Picture::fromData(file, kind.format);
            ASSERT_TRUE(picture.decodesBands());
            for (const int denom : {1, 2, 8}) {
                const QSize level((picture.width() + denom - 1) / denom, (picture.height() + denom - 1) / denom);
                const QImage whole =
                    kind.format == PictureFormat::Jpeg
                        ? orientImage(decodeJpeg(file, denom).toImage(), orientation)
                        : picture.toImage().scaled(level, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                for (const QRect asked : {QRect(0, 0, 40, 30), QRect(17, 11, 90, 70), QRect(20, 12, 300, 100)}) {
                    QRect got = asked;
                    const QImage band = picture.decodedBand(&got, true, denom);
                    const QString at = QString::asprintf("%s, orientation %d, 1/%d, %d,%d", kind.name, orientation,
                                                         denom, asked.x(), asked.y());
                    EXPECT_EQ(got, asked.intersected(whole.rect())) << at.toStdString();
                    EXPECT_EQ(band.size(), got.size()) << at.toStdString();
                    EXPECT_LE(largestDifference(band, whole.copy(got)), denom == 1 ? 0 : 2) << at.toStdString();
                }
            }
        }
}

// A picture read by the loaders was never whole in this process, nor is
// it held here: only the loaders' sealed copy holds the file.
TEST(PictureFromFile, HoldsNoCopyOfItsBytes)
{
    const QTemporaryDir dir;
    const QString path = dir.filePath("padded.jpg");
    const JpegMetadata padded{true, QList<JpegSegment>(600, {0xFE, QByteArray(65000, 'c')})};
    ASSERT_TRUE(putBytes(path, encodeJpeg(testpics::pattern(64, 48, 1), 90, padded)));
    ASSERT_TRUE(putBytes("/proc/self/clear_refs", "5")); // the peak starts again from here
    const qint64 before = procNumber("/proc/self/status", "VmHWM:");
    const Picture picture = Picture::loadFromFile(path);
    EXPECT_LT(procNumber("/proc/self/status", "VmHWM:") - before, 39'000 / 4) << "KiB";
    EXPECT_EQ(picture.data(), fileBytes(path));
}

// Pixel buffers either side of the size from which large pages are taken:
// zero-filled when asked, padding cleared, copied whole, and the large ones
// starting on a large page, without which the kernel can't give them one.
class PixelBuffers : public ::testing::TestWithParam<int> {};

TEST_P(PixelBuffers, HoldTheirPixelsWhicheverPagesTheyTake)
{
    const int width = GetParam(), height = 1024;
    const Bitmap24 zeros(width, height);
    const std::vector<std::uint8_t> zeroRow(std::size_t(zeros.stride()), 0);
    for (int y = 0; y < height; y += 97)
        EXPECT_EQ(std::memcmp(zeros.scanLine(y), zeroRow.data(), zeroRow.size()), 0) << y;
    const bool large = zeros.byteCount() >= largepages::Threshold;
    EXPECT_EQ(large, reinterpret_cast<std::uintptr_t>(zeros.bits()) % (2 << 20) == 0);

    const Bitmap24 pattern = testpics::pattern(width, height, 5);
    Bitmap24 overwritten = Bitmap24::forOverwrite(width, height);
    for (int y = 0; y < height; ++y) {
        std::memcpy(overwritten.scanLine(y), pattern.scanLine(y), std::size_t(width) * 3);
        EXPECT_EQ(std::memcmp(overwritten.scanLine(y) + width * 3, zeroRow.data(),
                              std::size_t(overwritten.stride() - width * 3)),
                  0);
    }
    EXPECT_EQ(Bitmap24(overwritten), pattern);

    QImage image = pattern.toImage().convertToFormat(QImage::Format_RGB32);
    image.setColorSpace(QColorSpace::DisplayP3);
    const QImage copy = copiedToLargePages(image);
    EXPECT_EQ(copy, image);
    EXPECT_EQ(copy.colorSpace(), image.colorSpace());
    EXPECT_EQ(copy.bytesPerLine(), image.bytesPerLine());
    EXPECT_EQ(copy.constBits() != image.constBits(), std::size_t(image.sizeInBytes()) >= largepages::Threshold);
}

// 1364 pixels: just under 4 MiB; 1365: exactly; 2001: rows with padding.
INSTANTIATE_TEST_SUITE_P(AroundTheLargePageSize, PixelBuffers, ::testing::Values(1364, 1365, 2001));

} // namespace
