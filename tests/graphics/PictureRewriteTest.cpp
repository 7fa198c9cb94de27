// PNG and TIFF written back in their own kind: a turn keeps every value,
// an effect keeps the alpha channel, and both keep what else the file says.
#include "graphics/PictureRewrite.h"
#include "graphics/Picture.h"
#include "graphics/PngChunks.h"
#include "graphics/TiffStructure.h"

#include "tests/support/KindPictures.h"
#include "tests/support/Printers.h"
#include "tests/support/TestPictures.h"

#include <QTransform>
#include <gtest/gtest.h>

#include <functional>

namespace {

QImage patterned(QImage::Format format)
{
    QImage image = testpics::pattern(13, 7, 3).toImage().convertToFormat(QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(10, 20, 30, 40)); // some alpha where the format keeps it
    return image.convertToFormat(format);
}

struct TurnCase {
    const char* name;
    QImage::Format format;
    std::function<QByteArray(const QImage&)> bytes;
};

class FourTurns : public ::testing::TestWithParam<TurnCase> {};

TEST_P(FourTurns, GiveBackEveryValueAndOneTurnIsAQuarter)
{
    const TurnCase& c = GetParam();
    const QImage original = patterned(c.format);
    Picture p = Picture::fromData(c.bytes(original), pictureFormatOf(c.bytes(original)));
    ASSERT_TRUE(pictureRewritable(p));
    const QImage stored = p.toImage();
    ASSERT_EQ(stored.convertToFormat(QImage::Format_ARGB32), original.convertToFormat(QImage::Format_ARGB32));
    for (int turn = 1; turn <= 4; ++turn) {
        const QByteArray bytes = turnedPictureFile(p, 90);
        p = Picture::fromData(bytes, pictureFormatOf(bytes));
        if (turn == 1) {
            EXPECT_EQ(p.toImage(), stored.transformed(QTransform().rotate(90)));
        }
    }
    EXPECT_EQ(p.toImage(), stored);
    EXPECT_EQ(p.toImage().format(), stored.format());
}

QByteArray pngOf(const QImage& image)
{
    return kinds::encoded(image, "png");
}

INSTANTIATE_TEST_SUITE_P(Kinds, FourTurns,
                         ::testing::Values(TurnCase{"PngRgb", QImage::Format_RGB32, pngOf},
                                           TurnCase{"PngAlpha", QImage::Format_ARGB32, pngOf},
                                           TurnCase{"Png16", QImage::Format_RGBA64, pngOf},
                                           TurnCase{"PngGrey16", QImage::Format_Grayscale16, pngOf},
                                           TurnCase{"PngPalette", QImage::Format_Indexed8, pngOf},
                                           TurnCase{"TiffLzw", QImage::Format_RGB32,
                                                    [](const QImage& i) { return kinds::tiff(i, 1); }},
                                           TurnCase{
                                               "TiffGreyPlain", QImage::Format_Grayscale8,
                                               [](const QImage& i) { return kinds::tiff(i, 1, false); }}),
                         [](const auto& info) { return std::string(info.param.name); });

// A PNG carrying text, a profile, a resolution of 100 x 50 per metre and
// EXIF with orientation 6, turned once as shown.
TEST(PngRewrite, ATurnKeepsEveryChunkAndMakesTheTagAndResolutionFollow)
{
    QImage image = kinds::quadrants(20, 10);
    image.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    image.setText(QStringLiteral("Title"), QStringLiteral("A test"));
    image.setDotsPerMeterX(100);
    image.setDotsPerMeterY(50);
    const QByteArray before = kinds::withPngChunk(pngOf(image), "eXIf", kinds::exifBlock(false, 6));
    const Picture p = Picture::fromData(before, PictureFormat::Png);
    const QList<PngChunk> old = pngChunks(before), now = pngChunks(turnedPictureFile(p, 90));
    for (const char* kept : {"iCCP", "tEXt"})
        EXPECT_EQ(pngChunkData(now, kept), pngChunkData(old, kept)) << kept;
    const QByteArray phys = pngChunkData(now, "pHYs");
    EXPECT_EQ(phys.left(8), pngChunkData(old, "pHYs").mid(4, 4) + pngChunkData(old, "pHYs").left(4));
    EXPECT_EQ(tiffOrientation(TiffStructure(pngChunkData(now, "eXIf"))), 1);
    EXPECT_EQ(pngChunkData(now, "eXIf").size(), pngChunkData(old, "eXIf").size());
    const Picture turned = Picture::fromData(pngFile(now), PictureFormat::Png);
    EXPECT_EQ(turned.size(), QSize(20, 10));             // 10 x 20 upright, then a quarter turn
    EXPECT_EQ(kinds::corners(turned.toImage()), "WBGR"); // upright BRWG, turned right
}

TEST(PngRewrite, AnEffectKeepsTheAlphaChannel)
{
    QImage image = kinds::quadrants(16, 8, QImage::Format_ARGB32);
    image.setPixel(15, 7, qRgba(0, 0, 0, 0));
    const Picture p = Picture::fromData(pngOf(image), PictureFormat::Png);
    const Bitmap24 darker = testpics::brighter(p.toBitmap24(), -40);
    const Picture now = Picture::fromData(pictureFileWithPixels(p, darker), PictureFormat::Png);
    const QImage shown = now.toImage();
    EXPECT_EQ(qAlpha(shown.pixel(15, 7)), 0);
    EXPECT_EQ(shown.pixel(0, 0), qRgb(215, 0, 0));
}

TEST(PngRewrite, KindsWhoseFramesWouldBeLostAreNotRewritten)
{
    const QByteArray png = pngOf(kinds::quadrants(8, 8));
    const QByteArray animated = kinds::withPngChunk(png, "acTL", QByteArray("\0\0\0\2\0\0\0\0", 8));
    EXPECT_FALSE(pictureRewritable(Picture::fromData(animated, PictureFormat::Png)));
    QByteArray twoPages = kinds::tiff(kinds::quadrants(8, 8), 1);
    const TiffStructure t(twoPages);
    const qsizetype next = t.directoryAt(TiffStructure::Directory::First) + 2 +
                           12 * t.read16(t.directoryAt(TiffStructure::Directory::First));
    t.put32(twoPages, next, quint32(t.directoryAt(TiffStructure::Directory::First)));
    EXPECT_FALSE(pictureRewritable(Picture::fromData(twoPages, PictureFormat::Tiff)));
    for (const char* shownOnly : {"webp", "gif"}) {
        const Picture p =
            shownOnly == QByteArray("gif")
                ? Picture::loadFromFile(QStringLiteral(PV_SOURCE_DIR "/tests/graphics/samples/frames.gif"))
                : Picture::fromData(kinds::encoded(kinds::quadrants(8, 8), "webp"), PictureFormat::WebP);
        EXPECT_FALSE(pictureRewritable(p)) << shownOnly;
    }
}

} // namespace
