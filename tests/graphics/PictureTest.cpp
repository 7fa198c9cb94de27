#include "graphics/Picture.h"
#include "core/LittleEndian.h"
#include "graphics/BmpCodec.h"
#include "core/Errors.h"
#include "graphics/JpegCodec.h"

#include "TestFiles.h"
#include "tests/support/FileBytes.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <cstdio>
#include <gtest/gtest.h>

#include <jerror.h>
#include <jpeglib.h>

namespace {

QString loadError(const QString& path)
{
    try {
        Picture::loadFromFile(path);
    } catch (const AppError& e) {
        return e.text();
    }
    return QString();
}

QByteArray icoBytes(const QImage& image)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "ico");
    if (!writer.write(image))
        ADD_FAILURE() << writer.errorString().toStdString();
    return out;
}

} // namespace

TEST(PictureExtension, IsTheLowerCaseTextAfterTheLastDotOfTheName)
{
    EXPECT_EQ(pictureExtension("/photos/Holiday.JPG"), "jpg");
    EXPECT_EQ(pictureExtension("/photos/archive.tar.Bmp"), "bmp");
    EXPECT_EQ(pictureExtension("/photos.2006/readme"), "");
    EXPECT_EQ(pictureExtension("/photos/trailing."), "");
}

TEST(PictureLoad, PicksTheDecoderByExtension)
{
    QTemporaryDir dir;
    const QByteArray jpeg = corpusBytes("jpeg/testorig.jpg");
    // Upper-case extension, JPEG form kept as its bytes.
    const Picture j = Picture::loadFromFile(writeScratch(dir, "A.JPEG", jpeg));
    EXPECT_EQ(j.kind(), Picture::Kind::Jpeg);
    EXPECT_EQ(j.size(), QSize(227, 149));
    EXPECT_EQ(j.data(), jpeg);
    EXPECT_TRUE(j.toBitmap24() == decodeJpeg(jpeg));
    EXPECT_TRUE(j.bitmap().isEmpty());
    const QImage shown = j.toImage();
    EXPECT_EQ(shown.format(), QImage::Format_BGR888);
    EXPECT_TRUE(Bitmap24::fromImage(shown) == decodeJpeg(jpeg));

    const Picture b = Picture::loadFromFile(corpusPath("bmpsuite/g/pal8.bmp"));
    EXPECT_EQ(b.kind(), Picture::Kind::Bitmap);
    EXPECT_EQ(b.size(), QSize(127, 64));
    EXPECT_TRUE(b.bitmap() == decodeBmp(corpusBytes("bmpsuite/g/pal8.bmp")));
    EXPECT_TRUE(b.data().isEmpty());

    QImage icon(32, 16, QImage::Format_RGB32);
    icon.fill(QColor(10, 20, 30));
    const Picture o = Picture::loadFromFile(writeScratch(dir, "app.ico", icoBytes(icon)));
    EXPECT_EQ(o.kind(), Picture::Kind::Other);
    EXPECT_EQ(o.size(), QSize(32, 16));
    const Bitmap24 pixels = o.toBitmap24();
    EXPECT_EQ(pixels.scanLine(5)[0], 30);
    EXPECT_EQ(pixels.scanLine(5)[2], 10);
}

TEST(PictureLoad, FailuresEndInTheProgramsMessages)
{
    QTemporaryDir dir;
    EXPECT_EQ(loadError(writeScratch(dir, "notes.txt", "text")), "Unknown picture file extension (.txt)");
    // The extension is judged before the file is looked for.
    EXPECT_EQ(loadError(dir.filePath("gone.png")), "Unknown picture file extension (.png)");
    EXPECT_EQ(loadError(dir.filePath("no-extension")), "Unknown picture file extension (.)");

    const QString missing = dir.filePath("gone.jpg");
    EXPECT_EQ(loadError(missing), QString("Cannot open file \"%1\". No such file or directory").arg(missing));

    EXPECT_EQ(loadError(writeScratch(dir, "empty.bmp", QByteArray())), "Bitmap image is not valid");
    EXPECT_EQ(loadError(writeScratch(dir, "empty.jpg", QByteArray())), msg::jpegError(JERR_INPUT_EMPTY));
    EXPECT_EQ(loadError(writeScratch(dir, "text.jpg", "Dear diary,\n")), msg::jpegError(JERR_NO_SOI));
    EXPECT_TRUE(loadError(writeScratch(dir, "empty.ico", QByteArray())).startsWith("Picture is not valid."));
    EXPECT_TRUE(loadError(writeScratch(dir, "text.ico", "not an icon")).startsWith("Picture is not valid."));
    EXPECT_EQ(loadError(writeScratch(dir, "short.bmp", corpusBytes("bmpsuite/g/rgb24.bmp").left(1000))),
              "Bitmap file is truncated");
}

TEST(PictureSharing, CopiesShareTheirDataAndImagesKeepItAlive)
{
    const Picture original = Picture::fromBitmap(noiseBitmap(40, 30, 7));
    const Picture copy = original; // NOLINT: the copy is the point
    EXPECT_TRUE(copy.sharesDataWith(original));
    EXPECT_EQ(&copy.bitmap(), &original.bitmap());
    EXPECT_FALSE(Picture::fromBitmap(noiseBitmap(40, 30, 7)).sharesDataWith(original));

    const Bitmap24 expected = original.bitmap();
    QImage image;
    {
        const Picture transient = Picture::fromBitmap(noiseBitmap(40, 30, 7));
        image = transient.toImage();
        EXPECT_EQ(image.constBits(), transient.bitmap().bits()); // no copy
    }
    // The picture is gone; its pixels live on in the image.
    EXPECT_TRUE(Bitmap24::fromImage(image) == expected);

    // Painting into the image must not change the shared picture.
    QImage view = original.toImage();
    view.setPixel(0, 0, 0xff123456);
    EXPECT_TRUE(original.bitmap() == expected);
}

TEST(PictureThumbnail, ChoosesTheSmallestJpegScaleThatStillCoversTheThumbnail)
{
    const QSize box(145, 145);
    EXPECT_EQ(jpegThumbnailDenom({1600, 1200}, box), 8); // 200x150 for 145x108
    EXPECT_EQ(jpegThumbnailDenom({640, 480}, box), 4);   // 80x60 would be too small
    EXPECT_EQ(jpegThumbnailDenom({400, 300}, box), 2);
    EXPECT_EQ(jpegThumbnailDenom({227, 149}, box), 1);
    EXPECT_EQ(jpegThumbnailDenom({50, 50}, box), 1); // enlarged, from full size
    // A wide panorama only needs to fill the width.
    EXPECT_EQ(jpegThumbnailDenom({4000, 500}, box), 8);
    // libjpeg rounds up: 1153 / 8 gives 145 rows, 1152 / 8 only 144.
    EXPECT_EQ(jpegThumbnailDenom({1153, 1153}, box), 8);
    EXPECT_EQ(jpegThumbnailDenom({1152, 1152}, box), 4);
    EXPECT_EQ(jpegThumbnailDenom({1600, 1200}, QSize()), 8);
}

TEST(PictureThumbnail, FitsTheBoxKeepingTheAspectRatio)
{
    const Bitmap24 source = gradientBitmap(1600, 1200);
    const Picture jpeg = Picture::fromJpegData(encodeJpeg(source));
    const QImage thumb = jpeg.thumbnail({145, 145});
    EXPECT_EQ(thumb.size(), QSize(145, 108));
    // Same picture: the bottom-right corner is as blue and green as the source's.
    const QColor corner = thumb.pixelColor(144, 107);
    EXPECT_NEAR(corner.blue(), 255, 12);
    EXPECT_NEAR(corner.green(), 255, 12);

    const Picture bmp = Picture::fromBitmap(gradientBitmap(200, 100));
    EXPECT_EQ(bmp.thumbnail({145, 145}).size(), QSize(145, 72));
    // Small pictures are enlarged.
    EXPECT_EQ(Picture::fromBitmap(gradientBitmap(10, 20)).thumbnail({145, 145}).size(), QSize(72, 145));
    EXPECT_TRUE(Picture().thumbnail({145, 145}).isNull());
    EXPECT_TRUE(bmp.thumbnail({0, 145}).isNull());
}

TEST(PictureSave, WritesTheFormHeld)
{
    QTemporaryDir dir;
    const QByteArray jpeg = corpusBytes("jpeg/testorig.jpg");
    const QString jpegPath = dir.filePath("copy.jpg");
    Picture::fromJpegData(jpeg).saveToFile(jpegPath);
    EXPECT_EQ(fileBytes(jpegPath), jpeg);

    // A bitmap is written as a 24-bit BMP whatever the name says.
    const Bitmap24 pixels = noiseBitmap(13, 7, 3);
    const QString bmpPath = dir.filePath("rotated.jpg");
    Picture::fromBitmap(pixels).saveToFile(bmpPath);
    EXPECT_TRUE(decodeBmp(fileBytes(bmpPath)) == pixels);
    EXPECT_TRUE(Picture::loadFromFile(writeScratch(dir, "again.bmp", fileBytes(bmpPath))).bitmap() == pixels);

    QImage icon(16, 16, QImage::Format_RGB32);
    icon.fill(Qt::red);
    const QByteArray ico = icoBytes(icon);
    const QString icoPath = dir.filePath("b.ico");
    Picture::fromOtherData(ico, "ico").saveToFile(icoPath);
    EXPECT_EQ(fileBytes(icoPath), ico);
}

TEST(PictureSave, RefusesToWriteNothingOverAFile)
{
    QTemporaryDir dir;
    const QString path = writeScratch(dir, "keep.bmp", "precious");
    try {
        Picture().saveToFile(path);
        ADD_FAILURE() << "empty picture saved";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), msg::cannotCreate(path, "The picture is empty."));
    }
    EXPECT_EQ(fileBytes(path), "precious");
    const QString missing = dir.filePath("no/such.bmp");
    try {
        Picture::fromBitmap(gradientBitmap(3, 3)).saveToFile(missing);
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), msg::cannotCreate(missing, "No such file or directory"));
    }
}

namespace {

// A little-endian EXIF block whose first directory, at `directoryAt`, holds
// these entries: tag, type, count and a value that fits in the entry.
struct RawEntry {
    quint16 tag, type;
    quint32 count, value;
};

QByteArray exifBlock(const std::vector<RawEntry>& entries, quint32 directoryAt = 8)
{
    QByteArray b("Exif\0\0II*\0", 10);
    appendLe32(b, directoryAt);
    appendLe16(b, quint16(entries.size()));
    for (const RawEntry& e : entries) {
        appendLe16(b, e.tag);
        appendLe16(b, e.type);
        appendLe32(b, e.count);
        appendLe32(b, e.value);
    }
    appendLe32(b, 0);
    return b;
}

const RawEntry Orientation6{0x0112, 3, 1, 6};

struct HostileExif {
    const char* name;
    QByteArray exif;
    int orientation; // what the picture applies
};

class HostileExifBlocks : public ::testing::TestWithParam<HostileExif> {};

} // namespace

TEST_P(HostileExifBlocks, NeverStopAPictureFromLoading)
{
    const HostileExif c = GetParam();
    JpegMetadata m;
    m.exif = c.exif;
    const QByteArray jpeg = encodeJpeg(gradientBitmap(32, 16), 90, m);
    const Picture p = Picture::fromJpegData(jpeg);
    EXPECT_EQ(p.orientation(), c.orientation);
    const QSize shown = c.orientation >= 5 ? QSize(16, 32) : QSize(32, 16);
    EXPECT_EQ(p.size(), shown);
    const Bitmap24 pixels = p.toBitmap24();
    EXPECT_EQ(QSize(pixels.width(), pixels.height()), shown);
    // Writing it back keeps no orientation that a viewer would apply again.
    const Picture written = Picture::fromJpegData(p.encodeJpegReplacement(pixels));
    EXPECT_EQ(written.orientation(), 1);
    EXPECT_EQ(written.size(), shown);
}

INSTANTIATE_TEST_SUITE_P(
    Exif, HostileExifBlocks,
    ::testing::Values(HostileExif{"WellFormed", exifBlock({Orientation6}), 6},
                      HostileExif{"ValueOutOfRange", exifBlock({{0x0112, 3, 1, 9}}), 1},
                      HostileExif{"StoredAsLong", exifBlock({{0x0112, 4, 1, 6}}), 1},
                      HostileExif{"NoComponents", exifBlock({{0x0112, 3, 0, 6}}), 1},
                      HostileExif{"CutShort", exifBlock({Orientation6}).left(21), 1},
                      HostileExif{"DirectoryPastTheEnd", exifBlock({Orientation6}, 4000), 1},
                      HostileExif{"NotTiff", QByteArray("Exif\0\0MZ\x90\0\3\0\0\0\4\0", 16), 1},
                      // A sub-directory pointing back at its parent: the loop is cut, the rest reads.
                      HostileExif{"DirectoryLoop", exifBlock({Orientation6, {0x8769, 4, 1, 8}}), 6}),
    [](const auto& info) { return std::string(info.param.name); });
