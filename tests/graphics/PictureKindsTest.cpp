// Every kind read: told by content, decoded through Qt's plugins or libheif,
// turned upright, refused past the pixel limit, and shown in true colour.
#include "graphics/BlockReducer.h"
#include "graphics/DisplayColors.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "graphics/PictureFormat.h"
#include "graphics/PngChunks.h"
#include "graphics/PngReduced.h"

#include "Corpus.h"
#include "core/AtomicFile.h"
#include "core/LittleEndian.h"
#include "tests/support/BitmapCompare.h"
#include "tests/support/KindPictures.h"
#include "tests/support/TestPictures.h"

#include <QMimeDatabase>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

QByteArray ftyp(const char* major, const char* compatible)
{
    return QByteArray("\0\0\0\024ftyp", 8) + major + QByteArray(4, '\0') + compatible;
}

struct HeadCase {
    const char* name;
    QByteArray head;
    PictureFormat format;
    const char* file = ""; // its name, which decides only where the content tells nothing
};

class FormatOfHead : public ::testing::TestWithParam<HeadCase> {};

TEST_P(FormatOfHead, IsToldByTheFirstBytes)
{
    const HeadCase& c = GetParam();
    EXPECT_EQ(*c.file ? pictureFormatOf(c.head, QString::fromLatin1(c.file)) : pictureFormatOf(c.head), c.format);
}

INSTANTIATE_TEST_SUITE_P(
    Heads, FormatOfHead,
    ::testing::Values(HeadCase{"Jpeg", "\xFF\xD8\xFF\xE1", PictureFormat::Jpeg},
                      HeadCase{"Png", "\x89PNG\r\n\x1A\n", PictureFormat::Png},
                      HeadCase{"Gif87", "GIF87a", PictureFormat::Gif},
                      HeadCase{"WebP", QByteArray("RIFF\0\0\0\0WEBPVP8L", 16), PictureFormat::WebP},
                      HeadCase{"Wave", QByteArray("RIFF\0\0\0\0WAVEfmt ", 16), PictureFormat::Unknown},
                      HeadCase{"TiffLittle", QByteArray("II*\0", 4), PictureFormat::Tiff},
                      HeadCase{"TiffBig", QByteArray("MM\0*", 4), PictureFormat::Tiff},
                      HeadCase{"BigTiff", QByteArray("II+\0", 4), PictureFormat::Tiff},
                      HeadCase{"MmButNoTiff", QByteArray("MM\0\x07", 4), PictureFormat::Unknown},
                      HeadCase{"Bitmap", "BM6\0", PictureFormat::Bitmap},
                      HeadCase{"Heic", ftyp("heic", "heix"), PictureFormat::Heif},
                      HeadCase{"AvifAmongOthers", ftyp("mif1", "avif"), PictureFormat::Avif},
                      HeadCase{"Mp4", ftyp("isom", "avc1"), PictureFormat::Unknown},
                      HeadCase{"Icon", QByteArray("\0\0\1\0\1\0", 6), PictureFormat::Icon},
                      HeadCase{"IconWithoutImages", QByteArray("\0\0\1\0\0\0", 6), PictureFormat::Unknown},
                      HeadCase{"Text", "Dear diary", PictureFormat::Unknown},
                      HeadCase{"GarbageNamedTiff", "garbage", PictureFormat::Tiff, "broken.TIF"}),
    [](const auto& info) { return std::string(info.param.name); });

// One file of each kind: its size, and its corners as the effects see
// them (transparent parts over white).
struct KindCase {
    const char* name;
    const char* file;
    std::function<QByteArray()> bytes;
    PictureFormat format;
    bool exact; // the pixels are those of kinds::quadrants(64, 32)
};

QImage withClearCorner()
{
    QImage image = kinds::quadrants(64, 32, QImage::Format_ARGB32);
    for (int y = 16; y < 32; ++y)
        for (int x = 32; x < 64; ++x)
            image.setPixel(x, y, qRgba(0, 0, 0, 0));
    return image;
}

class KindRead : public ::testing::TestWithParam<KindCase> {};

TEST_P(KindRead, DecodesWithItsSizeAndPixels)
{
    const KindCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(c.file));
    const QByteArray bytes = c.bytes();
    ASSERT_FALSE(bytes.isEmpty());
    writeFileAtomically(path, bytes);
    const Picture p = Picture::loadFromFile(path);
    EXPECT_EQ(p.format(), c.format);
    EXPECT_EQ(p.size(), QSize(64, 32));
    const Bitmap24 pixels = p.toBitmap24();
    EXPECT_EQ(kinds::corners(pixels.toImage()), "RGBW");
    if (c.exact) {
        EXPECT_EQ(pixels, Bitmap24::fromImage(kinds::quadrants(64, 32)));
    }
    // On screen transparent parts show what is behind them.
    const bool alpha = QByteArray(c.name).contains("Alpha");
    EXPECT_EQ(kinds::corners(p.thumbnail(QSize(64, 64), true)), alpha ? "RGBT" : "RGBW");
}

// Quadrants 64 x 32 in `format`, written by Qt as `kind`.
QByteArray quadrantsAs(const char* kind, QImage::Format format = QImage::Format_RGB32, int quality = -1)
{
    return kinds::encoded(kinds::quadrants(64, 32, format), kind, quality);
}

using F = PictureFormat;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Kinds, KindRead, ::testing::Values(
    KindCase{"Png8", "a.png", [] { return quadrantsAs("png"); }, F::Png, true},
    KindCase{"Png16", "a.png", [] { return quadrantsAs("png", QImage::Format_RGBA64); }, F::Png, true},
    KindCase{"PngPalette", "a.png", [] { return quadrantsAs("png", QImage::Format_Indexed8); }, F::Png, true},
    KindCase{"PngAlphaOverWhite", "a.png", [] { return kinds::encoded(withClearCorner(), "png"); }, F::Png, true},
    KindCase{"PngNamedJpeg", "a.jpg", [] { return quadrantsAs("png"); }, F::Png, true},
    KindCase{"WebPLossless", "a.webp", [] { return quadrantsAs("webp", QImage::Format_RGB32, 100); }, F::WebP, true},
    KindCase{"WebPLossy", "a.webp", [] { return quadrantsAs("webp", QImage::Format_RGB32, 80); }, F::WebP, false},
    KindCase{"TiffLzw", "a.tif", [] { return kinds::tiff(kinds::quadrants(64, 32), 1); }, F::Tiff, true},
    KindCase{"TiffPlain16", "a.tiff", [] { return kinds::tiff(kinds::quadrants(64, 32, QImage::Format_RGBA64), 1, false); }, F::Tiff, true},
    KindCase{"Heic", "a.heic", [] { return kinds::heif(kinds::quadrants(64, 32), false); }, F::Heif, false},
    KindCase{"Avif", "a.avif", [] { return kinds::heif(kinds::quadrants(64, 32), true); }, F::Avif, false}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(OtherKinds, AHeifThumbnailServesSmallRenditionsOnly)
{
    QImage red(256, 192, QImage::Format_RGB32), green(128, 96, QImage::Format_RGB32);
    red.fill(Qt::red);
    green.fill(Qt::green);
    const Picture p = Picture::fromData(kinds::heif(red, false, 1, {}, green), PictureFormat::Heif);
    const auto centre = [](const QImage& i) { return QColor(i.pixel(i.width() / 2, i.height() / 2)); };
    EXPECT_GT(centre(p.thumbnail(QSize(60, 45), true)).green(), 200);
    EXPECT_GT(centre(p.decodedCovering(QSize(200, 150), true)).red(), 200);
    EXPECT_GT(centre(p.toImage()).red(), 200);
}

// A PNG reduced while it decodes, interlaced or not (and a frame decoded
// whole): each pixel the mean of its block in the whole decode
// (premultiplied where there is alpha); nothing where the whole decode must tell.
class PngReduced : public ::testing::TestWithParam<QImage::Format> {};

TEST_P(PngReduced, AveragesEachBlockAsTheRowsCome)
{
    QImage source = testpics::pattern(61, 43, 5).toImage().convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < 61; ++x)
        source.setPixel(x, 3, qRgba(250, 10, 90, x * 4)); // alpha, where the format keeps it
    const QByteArray png = kinds::encoded(source.convertToFormat(GetParam()), "png");
    const QImage whole = Picture::fromData(png, PictureFormat::Png)
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage reduced =
        decodePngReduced(png, QSize(20, 10)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_EQ(reduced.size(), QSize(21, 15)); // a factor of 3 still covers 20 x 10; edge blocks are smaller
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 20; ++x) {
            int sum[4] = {0, 0, 0, 0};
            for (int k = 0; k < 9; ++k) {
                const QRgb p = whole.pixel(3 * x + k % 3, 3 * y + k / 3);
                sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p), sum[3] += qAlpha(p);
            }
            const QRgb got = reduced.pixel(x, y);
            EXPECT_NEAR(qRed(got), sum[0] / 9.0, 1.5) << x << "," << y;
            EXPECT_NEAR(qAlpha(got), sum[3] / 9.0, 1.5) << x << "," << y;
        }
    // Interlaced, its seven passes come to the same blocks.
    EXPECT_EQ(decodePngReduced(kinds::interlacedPng(source.convertToFormat(GetParam())), QSize(20, 10))
                  .convertToFormat(QImage::Format_ARGB32_Premultiplied),
              reduced);
    if (GetParam() == QImage::Format_RGB32) { // an opaque frame decoded whole reduces alike
        for (const QImage::Format f : {QImage::Format_RGB888, QImage::Format_RGB32})
            EXPECT_EQ(reducedByBlocks(whole.convertToFormat(f), QSize(20, 10))
                          .convertToFormat(QImage::Format_ARGB32_Premultiplied),
                      reduced)
                << f;
    }
    EXPECT_TRUE(decodePngReduced(png, QSize(40, 30)).isNull()); // no whole factor below 2
    EXPECT_TRUE(decodePngReduced(png.left(png.size() / 2), QSize(20, 10)).isNull());
    const std::atomic<bool> stop = true;
    EXPECT_TRUE(decodePngReduced(png, QSize(20, 10), &stop).isNull());
}

INSTANTIATE_TEST_SUITE_P(Formats, PngReduced,
                         ::testing::Values(QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_RGBA64,
                                           QImage::Format_Grayscale8, QImage::Format_Indexed8));

// Stored as quadrants 64 x 32 (RGBW) with an orientation; shown upright
// or, with the orientation ignored, as stored. EXIF that is out of range,
// of the wrong type or cut short never stops a picture from loading.
struct UprightCase {
    const char* name;
    std::function<QByteArray()> bytes;
    PictureFormat format;
    const char* upright;
};

class Upright : public ::testing::TestWithParam<std::tuple<UprightCase, bool>> {};

TEST_P(Upright, FollowsTheOrientationUnlessIgnored)
{
    const auto [c, apply] = GetParam();
    const Picture p =
        Picture::fromData(c.bytes(), c.format, apply ? ExifOrientation::Apply : ExifOrientation::Ignore);
    const QSize stored(64, 32);
    const QSize upright = QByteArray("BG").contains(c.upright[0]) ? stored.transposed() : stored;
    EXPECT_EQ(p.size(), apply ? upright : stored);
    EXPECT_EQ(kinds::corners(p.toImage()), apply ? c.upright : "RGBW");
    EXPECT_EQ(kinds::corners(p.toBitmap24().toImage()), apply ? c.upright : "RGBW");
    EXPECT_EQ(kinds::corners(p.thumbnail(QSize(64, 64), true)), apply ? c.upright : "RGBW");
    const Picture other = p.withExifOrientation(apply ? ExifOrientation::Ignore : ExifOrientation::Apply);
    EXPECT_EQ(other.size(), apply ? stored : upright);
    // Written back, a JPEG keeps no orientation that a viewer would apply again.
    if (c.format == PictureFormat::Jpeg && apply) {
        EXPECT_EQ(p.orientation(), upright == stored ? 1 : 6); // the rows turn by 6 or not at all
        const Picture written = Picture::fromJpegData(p.encodeJpegReplacement(p.toBitmap24()));
        EXPECT_EQ(written.orientation(), 1);
        EXPECT_EQ(written.size(), upright);
    }
}

QByteArray pngWithExif(bool bigEndian, int orientation)
{
    return kinds::withPngChunk(kinds::encoded(kinds::quadrants(64, 32), "png"), "eXIf",
                               kinds::exifBlock(bigEndian, orientation));
}

// A little-endian EXIF block whose first directory, at offset 8, holds one
// entry: tag, type, count and a value that fits in the entry.
QByteArray exifEntry(quint16 tag, quint16 type, quint32 count, quint32 value)
{
    QByteArray b("Exif\0\0II*\0", 10);
    appendLe32(b, 8);
    appendLe16(b, 1);
    appendLe16(b, tag);
    appendLe16(b, type);
    appendLe32(b, count);
    appendLe32(b, value);
    appendLe32(b, 0);
    return b;
}

QByteArray jpegWithExif(const QByteArray& exif)
{
    return encodeJpeg(Bitmap24::fromImage(kinds::quadrants(64, 32)), 90, JpegMetadata{false, {{0xE1, exif}}});
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Kinds, Upright, ::testing::Combine(::testing::Values(
    UprightCase{"PngExif6", [] { return pngWithExif(false, 6); }, F::Png, "BRWG"},
    UprightCase{"PngExifBigEndian8", [] { return pngWithExif(true, 8); }, F::Png, "GWRB"},
    UprightCase{"WebPExif3", [] { return kinds::webp(kinds::quadrants(64, 32), kinds::exifBlock(false, 3)); }, F::WebP, "WBGR"},
    UprightCase{"TiffTag6", [] { return kinds::tiff(kinds::quadrants(64, 32), 6); }, F::Tiff, "BRWG"},
    UprightCase{"HeifRotation6", [] { return kinds::heif(kinds::quadrants(64, 32), false, 6); }, F::Heif, "BRWG"},
    UprightCase{"AvifRotation8", [] { return kinds::heif(kinds::quadrants(64, 32), true, 8); }, F::Avif, "GWRB"},
    UprightCase{"JpegExif6", [] { return jpegWithExif(exifEntry(0x0112, 3, 1, 6)); }, F::Jpeg, "BRWG"},
    UprightCase{"JpegExifOutOfRange", [] { return jpegWithExif(exifEntry(0x0112, 3, 1, 9)); }, F::Jpeg, "RGBW"},
    UprightCase{"JpegExifStoredAsLong", [] { return jpegWithExif(exifEntry(0x0112, 4, 1, 6)); }, F::Jpeg, "RGBW"},
    UprightCase{"JpegExifNoComponents", [] { return jpegWithExif(exifEntry(0x0112, 3, 0, 6)); }, F::Jpeg, "RGBW"},
    UprightCase{"JpegExifCutShort", [] { return jpegWithExif(exifEntry(0x0112, 3, 1, 6).left(21)); }, F::Jpeg, "RGBW"}),
    ::testing::Bool()),
    [](const auto& info) { return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "Applied" : "Ignored"); });
// clang-format on

// A flat picture of one colour whose values mean something else than sRGB
// (or sRGB in other words): drawn converted, computed on as stored.
struct ColourCase {
    const char* name;
    std::function<QByteArray(const QImage& flat)> bytes;
    PictureFormat format;
    QColorSpace space; // invalid: shown as stored
};

const QRgb Stored = qRgb(200, 100, 50);

QImage flat(const QColorSpace& space = QColorSpace())
{
    QImage image(48, 32, QImage::Format_RGB32);
    image.fill(Stored);
    image.setColorSpace(space);
    return image;
}

// A PNG of `flat` whose gAMA chunk says 1 / (gamma / 100000).
QByteArray pngWithGamma(const QImage& flat, quint32 gamma)
{
    const char be[4] = {char(gamma >> 24), char(gamma >> 16), char(gamma >> 8), char(gamma)};
    return kinds::withPngChunk(kinds::encoded(flat, "png"), "gAMA", QByteArray(be, 4));
}

// A JPEG of the flat colour with these segments after its JFIF header.
QByteArray jpegWith(const QList<JpegSegment>& segments)
{
    return encodeJpeg(Bitmap24::fromImage(flat()), 95, {true, segments});
}

QByteArray jpegWithExif(bool bigEndian, bool adobeRgb)
{
    return jpegWith({{0xE1, QByteArray("Exif\0\0", 6) + kinds::exifBlock(bigEndian, 1, adobeRgb)}});
}

class TrueColour : public ::testing::TestWithParam<ColourCase> {};

TEST_P(TrueColour, IsShownConvertedAndComputedAsStored)
{
    const ColourCase& c = GetParam();
    const Picture p = Picture::fromData(c.bytes(flat(c.space)), c.format);
    const QRgb stored = p.toImage().pixel(10, 10);
    EXPECT_NEAR(qRed(stored), 200, 3);
    EXPECT_EQ(p.toBitmap24().toImage().pixel(10, 10), stored);
    const QRgb shown = c.space.isValid() ? kinds::inSrgb(stored, c.space) : stored;
    for (const QImage& drawn : {p.thumbnail(QSize(24, 24), true), p.decodedCovering(QSize(48, 32), true)}) {
        const QColor got = drawn.pixelColor(drawn.width() / 2, drawn.height() / 2);
        EXPECT_NEAR(got.red(), qRed(shown), 2);
        EXPECT_NEAR(got.green(), qGreen(shown), 2);
        EXPECT_NEAR(got.blue(), qBlue(shown), 2);
    }
    const QImage asStored = p.thumbnail(QSize(24, 24), false);
    EXPECT_EQ(asStored.pixel(12, 8), stored);
}

const QColorSpace P3(QColorSpace::DisplayP3), AdobeRgb(QColorSpace::AdobeRgb);

// clang-format off
INSTANTIATE_TEST_SUITE_P(Sources, TrueColour, ::testing::Values(
    ColourCase{"PngProfile", [](const QImage& i) { return kinds::encoded(i, "png"); }, F::Png, P3},
    ColourCase{"PngGammaOfSrgb", [](const QImage& i) { return pngWithGamma(i, 45455); }, F::Png, QColorSpace()},
    ColourCase{"PngGamma18", [](const QImage& i) { return pngWithGamma(i, 55556); }, F::Png, QColorSpace(QColorSpace::Primaries::SRgb, 1.8f)},
    ColourCase{"JpegProfile", [](const QImage&) { return jpegWith(iccToJpegSegments(P3.iccProfile())); }, F::Jpeg, P3},
    ColourCase{"JpegAdobeMark", [](const QImage&) { return jpegWithExif(true, true); }, F::Jpeg, AdobeRgb},
    ColourCase{"JpegInterop98", [](const QImage&) { return jpegWithExif(false, false); }, F::Jpeg, QColorSpace()},
    ColourCase{"WebPProfile", [](const QImage& i) { return kinds::webp(i, {}, P3.iccProfile()); }, F::WebP, P3},
    ColourCase{"TiffProfile", [](const QImage& i) { return kinds::tiff(i, 1); }, F::Tiff, P3},
    ColourCase{"HeifProfile", [](const QImage& i) { return kinds::heif(i, false, 1, AdobeRgb.iccProfile()); }, F::Heif, AdobeRgb}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(PhoneSample, IsDisplayP3AndUpright)
{
    const Picture p = Picture::loadFromFile(corpusPath("camera/IMG_5195.HEIC"));
    EXPECT_EQ(p.size(), QSize(2566, 3313));
    EXPECT_EQ(p.colorSpace().primaries(), QColorSpace::Primaries::DciP3D65);
    // Brought down as decoded, it is the whole picture made smaller (by
    // blocks of 8, left unscaled, not Qt's filter: this leafy photo differs
    // by 4 levels).
    const QImage small = p.decodedCovering(QSize(300, 300), false);
    ASSERT_EQ(small.size(), QSize(321, 415));
    EXPECT_LT(meanDifference(
                  small, p.toImage().scaled(small.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)),
              5);
}

// The desktop may offer the program for every kind it reads ("Open With"),
// so the desktop entry lists each kind's type besides the collection's.
TEST(DesktopEntry, ListsTheTypeOfEveryKindReadAndOfCollections)
{
    const QByteArray entry = fileBytes(PV_SOURCE_DIR "/resources/desktop/org.pictavo.Pictavo.desktop");
    QStringList listed;
    for (const QByteArray& line : entry.split('\n')) {
        if (line.startsWith("MimeType="))
            listed = QString::fromUtf8(line.mid(9)).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    EXPECT_TRUE(listed.contains(QStringLiteral("application/x-pictavo-collection")));
    const QMimeDatabase types;
    for (const PictureKind& kind : pictureKinds()) {
        for (const QString& suffix : kind.suffixes) {
            const QMimeType type =
                types.mimeTypeForFile(QStringLiteral("x.") + suffix, QMimeDatabase::MatchExtension);
            if (type.isDefault())
                continue; // a RAW kind the desktop has no type for (.srw, .iiq...)
            const QStringList names = QStringList{type.name()} + type.aliases();
            EXPECT_TRUE(
                std::any_of(names.begin(), names.end(), [&](const QString& n) { return listed.contains(n); }))
                << suffix.toStdString() << " is " << type.name().toStdString();
        }
    }
}

} // namespace
