// What a rewrite keeps. A turn moves the stored samples and changes none
// of them; an effect writes the file in its own layout (bit depth, alpha
// and how it is kept, colour model and profile, a JPEG's colour space and
// sampling); and the resolution follows a quarter turn, in every kind.
#include "effects/PictureWrite.h"
#include "graphics/JpegCodec.h"
#include "graphics/JpegSegments.h"
#include "graphics/Orientation.h"
#include "graphics/Picture.h"
#include "graphics/PictureRewrite.h"
#include "graphics/PngChunks.h"
#include "graphics/TiffStructure.h"

#include "Corpus.h"
#include "MadeFiles.h"
#include "core/AtomicFile.h"
#include "core/LittleEndian.h"
#include "tests/support/BitmapCompare.h"
#include "tests/support/KindPictures.h"
#include "tests/support/Printers.h"
#include "tests/support/TestPictures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <functional>
#include <numeric>

namespace {

// ---- What a file says of how it keeps its pixels, read by the libraries ----

struct Facts {
    QString layout;
    QSizeF resolution;
    QByteArray samples; // as stored, rows one after the other (not for JPEG)
    int bytesPerPixel = 0;
    QSize size;
};

QString iccSpace(const QByteArray& icc)
{
    return icc.size() >= 20 ? QString::fromLatin1(icc.mid(16, 4)) : QStringLiteral("none");
}

Facts tiffFacts(const QByteArray& file)
{
    QTemporaryDir dir;
    writeFileAtomically(dir.filePath("f.tif"), file);
    TIFF* t = TIFFOpen(QFile::encodeName(dir.filePath("f.tif")).constData(), "r");
    Facts f;
    uint32_t w = 0, h = 0, iccSize = 0;
    uint16_t bits = 0, spp = 0, photometric = 0, extraCount = 0;
    uint16_t* extras = nullptr;
    void* icc = nullptr;
    float xres = 0, yres = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(t, TIFFTAG_EXTRASAMPLES, &extraCount, &extras);
    TIFFGetField(t, TIFFTAG_ICCPROFILE, &iccSize, &icc);
    TIFFGetField(t, TIFFTAG_XRESOLUTION, &xres);
    TIFFGetField(t, TIFFTAG_YRESOLUTION, &yres);
    const QString space = iccSpace(QByteArray(static_cast<const char*>(icc), icc ? qsizetype(iccSize) : 0));
    f.layout = QString::asprintf("TIFF photometric %d, %d x %d bits, extra %d, icc %s", photometric, spp, bits,
                                 extraCount ? extras[0] : -1, qPrintable(space));
    f.resolution = QSizeF(xres, yres);
    f.size = QSize(int(w), int(h));
    f.bytesPerPixel = bits * spp / 8;
    QByteArray row(TIFFScanlineSize(t), '\0');
    for (uint32_t y = 0; y < h; ++y) {
        TIFFReadScanline(t, row.data(), y, 0);
        f.samples += row;
    }
    TIFFClose(t);
    return f;
}

Facts pngFacts(const QByteArray& file)
{
    struct Source {
        const QByteArray& bytes;
        qsizetype at;
    } source{file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &source, [](png_structp p, png_bytep out, png_size_t n) {
        auto* s = static_cast<Source*>(png_get_io_ptr(p));
        std::memcpy(out, s->bytes.constData() + s->at, n);
        s->at += qsizetype(n);
    });
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    Facts f;
    png_bytep trns = nullptr;
    int trnsCount = 0;
    png_color_16p key = nullptr;
    png_get_tRNS(png, info, &trns, &trnsCount, &key);
    png_colorp palette = nullptr;
    int entries = 0;
    png_get_PLTE(png, info, &palette, &entries);
    const int type = png_get_color_type(png, info), depth = png_get_bit_depth(png, info);
    f.layout = QString::asprintf("PNG type %d, %d bits, %d palette entries, %d transparent entries, key %d", type,
                                 depth, entries, trnsCount, key && type != PNG_COLOR_TYPE_PALETTE ? key->gray + key->red : -1);
    png_uint_32 xres = 0, yres = 0;
    int unit = 0;
    png_get_pHYs(png, info, &xres, &yres, &unit);
    f.resolution = QSizeF(xres, yres);
    f.size = QSize(int(png_get_image_width(png, info)), int(png_get_image_height(png, info)));
    f.bytesPerPixel = png_get_channels(png, info) * depth / 8;
    png_bytepp rows = png_get_rows(png, info);
    for (int y = 0; y < f.size.height(); ++y)
        f.samples.append(reinterpret_cast<const char*>(rows[y]), qsizetype(png_get_rowbytes(png, info)));
    png_destroy_read_struct(&png, &info, nullptr);
    return f;
}

Facts jpegFacts(const QByteArray& file)
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(file.constData()), (unsigned long)file.size());
    jpeg_read_header(&cinfo, TRUE);
    QString sampling;
    for (int i = 0; i < cinfo.num_components; ++i)
        sampling += QString(" %1x%2").arg(cinfo.comp_info[i].h_samp_factor).arg(cinfo.comp_info[i].v_samp_factor);
    const QList<JpegSegment> segments = readJpegSegments(file);
    const QByteArray icc = segmentPayload(segments, 0xE2, "ICC_PROFILE").mid(14);
    Facts f;
    f.layout = QString::asprintf("JPEG colour space %d, sampling%s, adobe %d, icc %s", int(cinfo.jpeg_color_space),
                                 qPrintable(sampling), int(cinfo.saw_Adobe_marker), qPrintable(iccSpace(icc)));
    // JFIF's densities, which EXIF's resolution, where there is a block, must match.
    const QSizeF jfif(cinfo.X_density, cinfo.Y_density);
    const QByteArray exif = segmentPayload(segments, 0xE1, QByteArrayView("Exif\0\0", 6));
    const TiffStructure t(exif.mid(6));
    const auto x = t.entry(TiffStructure::Directory::First, tifftag::XResolution);
    const auto y = t.entry(TiffStructure::Directory::First, tifftag::YResolution);
    const QSizeF inExif = x && y ? QSizeF(t.read32(x->valueAt) / t.read32(x->valueAt + 4),
                                          t.read32(y->valueAt) / t.read32(y->valueAt + 4))
                                 : jfif;
    f.resolution = inExif == jfif ? jfif : QSizeF(-1, -1);
    jpeg_destroy_decompress(&cinfo);
    return f;
}

Facts bmpFacts(const QByteArray& file)
{
    const auto* b = reinterpret_cast<const uchar*>(file.constData());
    const bool alpha = readLe32(b + 14) >= 56 && readLe32(b + 66) != 0;
    Facts f;
    f.layout = QString("BMP %1 bits, compression %2, alpha %3").arg(readLe16(b + 28)).arg(readLe32(b + 30)).arg(alpha);
    f.resolution = QSizeF(readLe32(b + 38), readLe32(b + 42));
    QImage image;
    image.loadFromData(file, "BMP");
    image = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    f.size = image.size();
    f.bytesPerPixel = 4;
    for (int y = 0; y < image.height(); ++y)
        f.samples.append(reinterpret_cast<const char*>(image.constScanLine(y)), image.width() * 4);
    return f;
}

Facts factsOf(const QByteArray& file)
{
    const PictureFormat f = pictureFormatOf(file);
    return f == PictureFormat::Tiff ? tiffFacts(file)
           : f == PictureFormat::Png ? pngFacts(file)
           : f == PictureFormat::Jpeg ? jpegFacts(file)
                                      : bmpFacts(file);
}

// Stored samples turned a quarter clockwise, whole pixels moved.
QByteArray turnedRight(const Facts& f)
{
    const int w = f.size.width(), h = f.size.height(), n = f.bytesPerPixel;
    QByteArray out(f.samples.size(), '\0');
    for (int y = 0; y < w; ++y)
        for (int x = 0; x < h; ++x)
            std::memcpy(out.data() + (qsizetype(y) * h + x) * n, f.samples.constData() + (qsizetype(h - 1 - x) * w + y) * n,
                        std::size_t(n));
    return out;
}

// ---- Pictures in less common layouts, made here ----

// Samples of a w x h picture whose values all differ: `channels` of
// `bits`, the last (alpha) kept low where `faintAlpha`.
QByteArray rows(int w, int h, int channels, int bits, bool faintAlpha = false)
{
    QByteArray out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                int v = (x * 37 + y * 91 + c * 53) % 256;
                if (faintAlpha && c == channels - 1)
                    v = 1 + (x + y) % 6; // where premultiplying loses the colour
                if (bits == 16)
                    out.append(char(v * 3 % 256)).append(char(v)); // the machine's order: low byte first
                else
                    out.append(char(v));
            }
    return out;
}

QByteArray cmykProfile()
{
    // An ICC header saying "CMYK": the rewrite must keep it with CMYK samples.
    QByteArray icc(132, '\0');
    qToBigEndian(quint32(icc.size()), icc.data());
    icc.replace(12, 4, "prtr");
    icc.replace(16, 4, "CMYK");
    icc.replace(20, 4, "Lab ");
    icc.replace(36, 4, "acsp");
    return icc;
}

// A 40 x 24 TIFF at 300 x 150 dpi of `rows` samples in this layout.
QByteArray tiffMade(int bits, int channels, int photometric, std::vector<unsigned short> extras = {},
                    const QByteArray& icc = {})
{
    const kinds::TiffLayout s{40, 24, bits, channels, photometric, extras, icc, 300, 150};
    return kinds::tiffOf(s, rows(40, 24, channels, bits, !extras.empty()));
}

QByteArray pngOf(QImage image)
{
    image.setDotsPerMeterX(11811); // 300 and 150 dpi
    image.setDotsPerMeterY(5906);
    return kinds::encoded(image, "png");
}

QImage patterned(QImage::Format format)
{
    QImage image = testpics::pattern(40, 24, 3).toImage().convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < 40; ++x)
        image.setPixel(x, 0, qRgba(10 + x, 20, 30, 1 + x % 5)); // faint alpha where the format keeps it
    return image.convertToFormat(format);
}

QByteArray jpegOf(const Bitmap24& b, int sampling)
{
    QByteArray jpeg = tjJpeg(b, sampling, 92);
    // JFIF: dots per inch, 300 across and 150 down.
    const qsizetype jfif = jpeg.indexOf("JFIF");
    jpeg[jfif + 7] = 1;
    qToBigEndian(quint16(300), jpeg.data() + jfif + 8);
    qToBigEndian(quint16(150), jpeg.data() + jfif + 10);
    return jpeg;
}

// Adobe's CMYK JPEG: coded as YCCK, the inks stored inverted, smooth so
// that what is lost is the coding's, not the pattern's.
QByteArray jpegCmyk(int w, int h)
{
    QByteArray inks;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            inks.append(char(x * 255 / w)).append(char(y * 255 / h)).append(char((x + y) * 255 / (w + h))).append(char(40));
    return libjpegFile(w, h, JCS_CMYK, inks, true, JCS_YCCK, 95, QByteArray("ICC_PROFILE\0\1\1", 14) + cmykProfile());
}

QByteArray bitmapWithAlpha()
{
    // The suite's 32-bit picture with an alpha channel, at 300 x 150 dpi.
    QByteArray bmp = corpusBytes("bmpsuite/q/rgba32.bmp");
    putLe32(bmp, 38, 11811);
    putLe32(bmp, 42, 5906);
    return bmp;
}

enum class Change { TurnRight, Effect };

struct Case {
    const char* name;
    const char* suffix;
    std::function<QByteArray()> make;
    Change change;
};

class Rewrites : public ::testing::TestWithParam<Case> {};

TEST_P(Rewrites, KeepTheLayoutTheSamplesAndTheResolution)
{
    const Case& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QString("picture.") + c.suffix);
    const QByteArray before = c.make();
    ASSERT_FALSE(before.isEmpty());
    writeFileAtomically(path, before);
    const Picture source = Picture::loadFromFile(path);
    const Bitmap24 shown = source.toBitmap24();
    if (c.change == Change::TurnRight)
        rotatePictureFile(source, path, 90);
    else
        writeRenderedPicture(path, shown, source);
    const QByteArray after = fileBytes(path);
    const Facts was = factsOf(before), now = factsOf(after);
    EXPECT_EQ(now.layout, was.layout);
    EXPECT_EQ(now.resolution, c.change == Change::TurnRight ? was.resolution.transposed() : was.resolution);
    const bool lossy = pictureFormatOf(before) == PictureFormat::Jpeg;
    if (c.change == Change::TurnRight && !lossy) {
        const QByteArray expected = turnedRight(was);
        ASSERT_EQ(now.samples.size(), expected.size());
        EXPECT_TRUE(now.samples == expected)
            << std::inner_product(expected.begin(), expected.end(), now.samples.begin(), 0, std::plus<>(),
                                  std::not_equal_to<>())
            << " bytes differ";
        return;
    }
    // An effect that changed nothing, or a JPEG coded again: the same
    // pixels, within what CMYK's rounding and quality 90 keep.
    const Bitmap24 back = Picture::loadFromFile(path).toBitmap24();
    const Bitmap24 expected = c.change == Change::TurnRight ? orientBitmap(shown, 6) : shown;
    ASSERT_EQ(QSize(back.width(), back.height()), QSize(expected.width(), expected.height()));
    if (lossy)
        EXPECT_LT(meanDifference(back, expected), 4.0);
    else
        EXPECT_LE(largestDifference(back, expected), 2);
}

const Bitmap24 kPlain = testpics::pattern(250, 190, 5); // no whole blocks: the turn codes anew

// clang-format off
INSTANTIATE_TEST_SUITE_P(Layouts, Rewrites, ::testing::Values(
    Case{"TiffUnassociatedAlphaTurn", "tif", [] { return tiffMade(8, 4, PHOTOMETRIC_RGB, {EXTRASAMPLE_UNASSALPHA}); }, Change::TurnRight},
    Case{"TiffCmykWithProfileTurn", "tif", [] { return tiffMade(8, 4, PHOTOMETRIC_SEPARATED, {}, cmykProfile()); }, Change::TurnRight},
    Case{"TiffCmykWithProfileEffect", "tif", [] { return tiffMade(8, 4, PHOTOMETRIC_SEPARATED, {}, cmykProfile()); }, Change::Effect},
    // Qt's plugin reads no 16-bit inks.
    Case{"TiffCmykSixteenBitsEffect", "tif", [] { return tiffMade(16, 4, PHOTOMETRIC_SEPARATED, {}, cmykProfile()); }, Change::Effect},
    Case{"TiffSixteenBitsTurn", "tif", [] { return tiffMade(16, 3, PHOTOMETRIC_RGB); }, Change::TurnRight},
    Case{"TiffSixteenBitsEffect", "tif", [] { return tiffMade(16, 3, PHOTOMETRIC_RGB); }, Change::Effect},
    Case{"TiffByQtTurn", "tif", [] { return kinds::tiff(patterned(QImage::Format_ARGB32), 1); }, Change::TurnRight},
    Case{"PngSixteenAlphaTurn", "png", [] { return pngOf(patterned(QImage::Format_RGBA64)); }, Change::TurnRight},
    Case{"PngSixteenEffect", "png", [] { return pngOf(patterned(QImage::Format_RGBX64)); }, Change::Effect},
    Case{"PngGreySixteenTurn", "png", [] { return pngOf(patterned(QImage::Format_Grayscale16)); }, Change::TurnRight},
    Case{"PngGreyEffect", "png", [] { return pngOf(patterned(QImage::Format_Grayscale8)); }, Change::Effect},
    Case{"PngPaletteTurn", "png", [] { return pngOf(patterned(QImage::Format_Indexed8)); }, Change::TurnRight},
    Case{"PngPaletteEffect", "png", [] { return pngOf(kinds::quadrants(40, 24, QImage::Format_Indexed8)); }, Change::Effect},
    Case{"JpegCmykTurn", "jpg", [] { return jpegCmyk(250, 190); }, Change::TurnRight},
    Case{"JpegCmykEffect", "jpg", [] { return jpegCmyk(250, 190); }, Change::Effect},
    Case{"JpegGreyTurn", "jpg", [] { return jpegOf(kPlain, TJSAMP_GRAY); }, Change::TurnRight},
    Case{"JpegGreyEffect", "jpg", [] { return jpegOf(kPlain, TJSAMP_GRAY); }, Change::Effect},
    Case{"Jpeg444Turn", "jpg", [] { return jpegOf(kPlain, TJSAMP_444); }, Change::TurnRight},
    Case{"Jpeg422Effect", "jpg", [] { return jpegOf(kPlain, TJSAMP_422); }, Change::Effect},
    Case{"JpegWholeBlocksTurn", "jpg", [] { return jpegOf(testpics::pattern(256, 192, 5), TJSAMP_420); }, Change::TurnRight},
    Case{"BitmapAlphaTurn", "bmp", bitmapWithAlpha, Change::TurnRight},
    Case{"BitmapAlphaEffect", "bmp", bitmapWithAlpha, Change::Effect}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A PNG carrying text, a profile and EXIF with orientation 6, turned once as
// shown: the chunks stay, the tag reads 1, and the resolution stays with
// the stored axes, which a half turn of the stored pixels leaves in place.
TEST(PngRewrite, ATurnKeepsEveryChunkAndMakesTheTagFollow)
{
    QImage image = kinds::quadrants(20, 10);
    image.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    image.setText(QStringLiteral("Title"), QStringLiteral("A test"));
    image.setDotsPerMeterX(100);
    image.setDotsPerMeterY(50);
    const QByteArray before = kinds::withPngChunk(kinds::encoded(image, "png"), "eXIf", kinds::exifBlock(false, 6));
    const Picture p = Picture::fromData(before, PictureFormat::Png);
    const QList<PngChunk> old = pngChunks(before), now = pngChunks(turnedPictureFile(p, 90));
    for (const char* kept : {"iCCP", "tEXt", "pHYs"})
        EXPECT_EQ(pngChunkData(now, kept), pngChunkData(old, kept)) << kept;
    EXPECT_EQ(tiffOrientation(TiffStructure(pngChunkData(now, "eXIf"))), 1);
    EXPECT_EQ(pngChunkData(now, "eXIf").size(), pngChunkData(old, "eXIf").size());
    const Picture turned = Picture::fromData(pngFile(now), PictureFormat::Png);
    EXPECT_EQ(turned.size(), QSize(20, 10));             // 10 x 20 upright, then a quarter turn
    EXPECT_EQ(kinds::corners(turned.toImage()), "WBGR"); // upright BRWG, turned right
}

// A TIFF of two pages, and kinds only shown: ShowOnlyKindsTest's table.
TEST(PngRewrite, AnAnimatedPngIsNotRewritten)
{
    const QByteArray png = kinds::encoded(kinds::quadrants(8, 8), "png");
    const QByteArray animated = kinds::withPngChunk(png, "acTL", QByteArray("\0\0\0\2\0\0\0\0", 8));
    EXPECT_FALSE(pictureRewritable(Picture::fromData(animated, PictureFormat::Png)));
}

} // namespace
