// Real files of the kinds only shown: camera RAW previews, JPEG XL, SVG, a
// JPEG named like a RAW and a fax of two pages. Each shows at its size and
// close to a decode that is not ours, or is refused in words; none is written.
#include "graphics/Picture.h"
#include "graphics/PictureRewrite.h"
#include "graphics/TiffStructure.h"

#include "Corpus.h"
#include "tests/support/BitmapCompare.h"
#include "tests/support/CameraPictures.h"
#include "tests/support/ErrorText.h"

#include <gtest/gtest.h>

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

} // namespace
