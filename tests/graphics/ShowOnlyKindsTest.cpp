// Real files of the kinds only shown: camera RAW previews, JPEG XL, SVG, a
// JPEG named like a RAW and a fax of two pages. Each shows at its size and
// close to a decode that is not ours, or is refused in words; none is written.
// JPEG XL files made here cover what the real ones lack: see-through alpha.
#include "graphics/JxlPicture.h"
#include "graphics/Picture.h"
#include "graphics/PictureRewrite.h"
#include "graphics/TiffStructure.h"

#include "Corpus.h"
#include "tests/support/BitmapCompare.h"
#include "tests/support/CameraPictures.h"
#include "tests/support/ErrorText.h"

#include <gtest/gtest.h>
#include <jxl/encode.h>

#include <memory>

namespace {

struct CorpusCase {
    const char* name;
    const char* file; // in more/
    PictureFormat format;
    QSize shown; // empty: refused as having no preview
    // The reference: "ref.png" beside it, an exiftool tag to extract, or none.
    const char* reference = "";
    double meanLevels = 0; // the mean difference allowed, in levels per channel
};

QImage reference(const QString& path, const QString& kind)
{
    if (kind.endsWith(QLatin1String(".png")))
        return QImage(path.left(path.lastIndexOf(QLatin1Char('.')) + 1) + kind);
    return QImage::fromData(camera::exiftoolOutput({QStringLiteral("-b"), QStringLiteral("-") + kind, path}));
}

class CorpusMore : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(CorpusMore, ShowsItsSizeCloseToTheReferenceOrSaysWhyNot)
{
    const CorpusCase& c = GetParam();
    const QString path = corpusPath(QStringLiteral("more/") + QLatin1String(c.file));
    if (c.shown.isEmpty()) {
        EXPECT_EQ(errorText([&] { Picture::loadFromFile(path).toImage(); }),
                  QStringLiteral("\"%1\" has no preview Pictavo can show").arg(path));
        return;
    }
    const Picture p = Picture::loadFromFile(path);
    EXPECT_EQ(p.format(), c.format);
    EXPECT_EQ(p.size(), c.shown);
    const QImage whole = p.toImage();
    ASSERT_EQ(whole.size(), c.shown);
    const QSize slot = c.shown.scaled(QSize(96, 72), Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    EXPECT_EQ(p.thumbnail(QSize(96, 72), true).size(), slot);
    EXPECT_EQ(pictureRewritable(p), c.format == PictureFormat::Jpeg);
    EXPECT_EQ(p.pageCount(), c.format == PictureFormat::Tiff ? 2 : 1); // the fax has two
    if (c.format == PictureFormat::Svg) { // drawn at the size asked, its edges kept sharp
        EXPECT_EQ(p.decodedCovering(c.shown * 2, true).size(), c.shown * 2);
    }
    if (*c.reference) {
        const QImage ref = reference(path, QLatin1String(c.reference));
        ASSERT_EQ(ref.size(), c.shown) << c.reference;
        EXPECT_LE(meanDifference(whole, ref), c.meanLevels);
    } else {
        // No reference decode here: at least not one flat colour.
        const QImage grey = Bitmap24::fromImage(whole).toImage().convertToFormat(QImage::Format_Grayscale8);
        bool varies = false;
        for (int y = 0; y < grey.height() && !varies; ++y)
            for (int x = 0; x < grey.width() && !varies; ++x)
                varies = grey.constScanLine(y)[x] != grey.constScanLine(0)[0];
        EXPECT_TRUE(varies);
    }
}

const QSize None;

using F = PictureFormat;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, CorpusMore, ::testing::Values(
    CorpusCase{"Cr3PreviewOfACutFile", "canon-eos-r6-pruned.cr3", F::CameraRaw, QSize(1620, 1080), "PreviewImage", 1.0},
    CorpusCase{"Rw2WholeEightByEight", "exiftool-panasonic-lx3.rw2", F::CameraRaw, QSize(8, 8), "JpgFromRaw", 1.0},
    CorpusCase{"KdcDevelopedAtHalfSize", "raw-kodak-dc50.kdc", F::CameraRaw, QSize(384, 256)},
    CorpusCase{"Cr2MetadataOnly", "exiftool-canon-350d.cr2", F::CameraRaw, None},
    CorpusCase{"DngMetadataOnly", "exiftool-canon-350d.dng", F::CameraRaw, None},
    CorpusCase{"CrwMetadataOnly", "exiftool-canon-300d.crw", F::CameraRaw, None},
    CorpusCase{"JpegNamedNef", "jpeg-named-d70s-1.nef", F::Jpeg, QSize(2000, 3008)},
    CorpusCase{"JxlLossless", "jxl-lossless-patches.jxl", F::JpegXl, QSize(1600, 1096), "ref.png", 0.01},
    CorpusCase{"JxlLossyGrey", "jxl-lossy-grayscale.jxl", F::JpegXl, QSize(200, 200)},
    CorpusCase{"JxlRecompressedJpeg", "jxl-recompressed-jpeg-grayscale.jxl", F::JpegXl, QSize(200, 200)},
    CorpusCase{"JxlAnimationFirstFrame", "jxl-animated-spline.jxl", F::JpegXl, QSize(320, 320)},
    CorpusCase{"SvgFromAnEditor", "svg-libvips-logo.svg", F::Svg, QSize(736, 552)},
    CorpusCase{"SvgViewBoxOnly", "svg-w3c-check.svg", F::Svg, QSize(100, 100)},
    CorpusCase{"TiffFirstOfTwoPages", "tiff-multipage-fax-g3.tif", F::Tiff, QSize(2464, 3248)}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A CR3 told to turn a quarter (its first TIFF block, CMT1, says 6) shows
// its preview upright; with the orientation ignored, as stored.
TEST(CameraRaw, TurnsUprightByItsOwnOrientation)
{
    QByteArray cr3 = corpusBytes(QStringLiteral("more/canon-eos-r6-pruned.cr3"));
    const qsizetype at = cr3.indexOf("CMT1") + 4;
    TiffStructure block(cr3.mid(at, 4096));
    ASSERT_TRUE(block.setNumber(TiffStructure::Directory::First, 0x0112, 6));
    cr3.replace(at, 4096, block.bytes());
    const Picture upright = Picture::fromData(cr3, PictureFormat::CameraRaw);
    EXPECT_EQ(upright.size(), QSize(1080, 1620));
    EXPECT_EQ(upright.thumbnail(QSize(96, 96), true).size(), QSize(64, 96));
    EXPECT_EQ(upright.withExifOrientation(ExifOrientation::Ignore).toImage().size(), QSize(1620, 1080));
}

// A lossless JPEG XL of `rgba`'s levels, with its alpha channel or without.
QByteArray losslessJxl(const QImage& rgba, bool alpha)
{
    std::unique_ptr<JxlEncoder, decltype(&JxlEncoderDestroy)> enc(JxlEncoderCreate(nullptr), JxlEncoderDestroy);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(rgba.width());
    info.ysize = uint32_t(rgba.height());
    info.bits_per_sample = 8;
    info.uses_original_profile = JXL_TRUE;
    info.alpha_bits = alpha ? 8 : 0;
    info.num_extra_channels = alpha ? 1 : 0;
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    const JxlPixelFormat format{alpha ? 4u : 3u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    const QImage pixels = rgba.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    QByteArray packed;
    for (int y = 0; y < pixels.height(); ++y)
        packed.append(reinterpret_cast<const char*>(pixels.constScanLine(y)), pixels.width() * int(format.num_channels));
    JxlEncoderFrameSettings* frame = JxlEncoderFrameSettingsCreate(enc.get(), nullptr);
    if (JxlEncoderSetBasicInfo(enc.get(), &info) != JXL_ENC_SUCCESS ||
        JxlEncoderSetColorEncoding(enc.get(), &srgb) != JXL_ENC_SUCCESS ||
        JxlEncoderSetFrameLossless(frame, JXL_TRUE) != JXL_ENC_SUCCESS ||
        JxlEncoderAddImageFrame(frame, &format, packed.constData(), size_t(packed.size())) != JXL_ENC_SUCCESS)
        return QByteArray();
    JxlEncoderCloseInput(enc.get());
    QByteArray out(4096, '\0');
    size_t written = 0;
    for (;;) {
        auto* next = reinterpret_cast<uint8_t*>(out.data()) + written;
        size_t room = size_t(out.size()) - written;
        const JxlEncoderStatus status = JxlEncoderProcessOutput(enc.get(), &next, &room);
        written = size_t(next - reinterpret_cast<uint8_t*>(out.data()));
        if (status == JXL_ENC_SUCCESS)
            return out.left(qsizetype(written));
        if (status != JXL_ENC_NEED_MORE_OUTPUT)
            return QByteArray();
        out.resize(out.size() * 2);
    }
}

// Every level arrives in the format the window draws: an alpha channel that
// hides nothing dropped, one that does premultiplied, red and blue in place.
TEST(JpegXl, GivesEveryLevelInTheDrawnFormat)
{
    QImage rgba(37, 5, QImage::Format_ARGB32);
    for (int y = 0; y < rgba.height(); ++y)
        for (int x = 0; x < rgba.width(); ++x)
            rgba.setPixel(x, y, qRgba(7 * x, 250 - 40 * y, (x * y * 13) & 0xff, 255));
    QImage seeThrough = rgba;
    seeThrough.setPixel(36, 4, qRgba(200, 100, 50, 128));
    const struct {
        const char* name;
        QImage image;
        bool alpha;
        QImage::Format drawn;
    } cases[] = {{"opaque alpha", rgba, true, QImage::Format_RGB32},
                 {"see-through alpha", seeThrough, true, QImage::Format_ARGB32_Premultiplied},
                 {"no alpha", rgba, false, QImage::Format_RGB32}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray file = losslessJxl(c.image, c.alpha);
        ASSERT_FALSE(file.isEmpty());
        const QImage decoded = decodeJxlPicture(file);
        EXPECT_EQ(decoded.format(), c.drawn);
        EXPECT_EQ(decoded, c.image.convertToFormat(c.drawn));
    }
}

} // namespace
