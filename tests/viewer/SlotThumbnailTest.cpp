// Slot thumbnails from the cheapest true source: the EXIF thumbnail, the
// desktop's shared cache, or a decode that then fills that cache.
#include "viewer/SlotThumbnail.h"
#include "graphics/DisplayColors.h"
#include "graphics/JpegCodec.h"
#include "graphics/PngChunks.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestPictures.h"
#include "viewer/SharedThumbnailCache.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using Source = SlotThumbnail::Source;
const QSize SlotBox(145, 145);

// A solid picture, so the colour of a thumbnail tells which source made it.
QString writeSolid(const QString& path, QColor colour)
{
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(colour);
    EXPECT_TRUE(image.save(path, "png"));
    return path;
}

bool centreIs(const QImage& image, QColor c)
{
    const QColor p = image.pixelColor(image.width() / 2, image.height() / 2);
    return std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) + std::abs(p.blue() - c.blue()) < 16;
}

qint64 mtimeOf(const QString& path)
{
    return QFileInfo(path).lastModified().toSecsSinceEpoch();
}

int modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QStringList filesUnder(const QString& root)
{
    QStringList files;
    for (const char* dir : {"normal", "large", "x-large", "xx-large"})
        files += QDir(root + '/' + QString::fromLatin1(dir)).entryList(QDir::Files | QDir::Hidden);
    return files;
}

class SlotThumbnailTest : public ::testing::Test {
protected:
    SlotThumbnail make(const QString& path, bool writes = true, QSize box = SlotBox,
                       ExifOrientation exif = ExifOrientation::Apply, bool displayColors = true) const
    {
        return makeSlotThumbnail(path, {box, exif, writes, cacheRoot, displayColors});
    }
    QTemporaryDir dir;
    QString cacheRoot = dir.filePath("cache/thumbnails");
    QString picture = writeSolid(dir.filePath("green picture.png"), Qt::green);
};

// Nothing is written for a file of the cache itself, nor when switched off.
TEST_F(SlotThumbnailTest, ASecondStartDecodesNothingAndEntriesKeepTheStandardsKeys)
{
    const QStringList strip = {picture, testpics::writeJpeg(dir.filePath("b.jpg"), 640, 480, 1),
                               testpics::writeBmp(dir.filePath("c.bmp"), 90, 60, 2)};
    for (const QString& path : strip)
        EXPECT_EQ(make(path).source, Source::Decode);
    int decodes = 0;
    for (const QString& path : strip)
        decodes += make(path).source != Source::SharedCache;
    EXPECT_EQ(decodes, 0);

    const QString entry = cacheRoot + "/large/" + SharedThumbnailCache::entryName(picture);
    EXPECT_EQ(modeOf(entry), 0600);
    EXPECT_EQ(modeOf(cacheRoot + "/large"), 0700);
    EXPECT_EQ(filesUnder(cacheRoot).size(), 3); // no temporary files left
    const QImage stored(entry);
    EXPECT_EQ(stored.size(), QSize(256, 192)); // the class's size, not the slot's
    EXPECT_TRUE(stored.text("Thumb::URI").endsWith("/green%20picture.png"));
    EXPECT_EQ(stored.text("Thumb::URI").toUtf8(), QUrl::fromLocalFile(picture).toEncoded());
    EXPECT_EQ(stored.text("Thumb::MTime").toLongLong(), mtimeOf(picture));
    EXPECT_EQ(stored.text("Thumb::Size").toLongLong(), QFileInfo(picture).size());
    EXPECT_EQ(stored.text("Thumb::Image::Width") + 'x' + stored.text("Thumb::Image::Height"), "400x300");
    EXPECT_TRUE(stored.text("Software").startsWith("Pictavo"));
    EXPECT_EQ(QImage(cacheRoot + "/large/" + SharedThumbnailCache::entryName(strip[2])).size(),
              QSize(90, 60));

    const SlotThumbnail ofEntry = make(writeSolid(cacheRoot + "/large/thumb.png", Qt::red));
    EXPECT_EQ(ofEntry.source, Source::Decode);
    EXPECT_TRUE(centreIs(ofEntry.image, Qt::red));
    const QString unseen = writeSolid(dir.filePath("unseen.png"), Qt::blue);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(make(unseen, false).source, Source::Decode);
    EXPECT_EQ(filesUnder(cacheRoot).size(), 4);
    EXPECT_TRUE(filesUnder(cacheRoot).contains("thumb.png"));
}

TEST_F(SlotThumbnailTest, AChangedFileIsReadAgain)
{
    ASSERT_EQ(make(picture).source, Source::Decode);
    writeSolid(picture, Qt::blue);
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    const SlotThumbnail changed = make(picture);
    EXPECT_EQ(changed.source, Source::Decode);
    EXPECT_TRUE(centreIs(changed.image, Qt::blue));
    const SlotThumbnail again = make(picture);
    EXPECT_EQ(again.source, Source::SharedCache);
    EXPECT_TRUE(centreIs(again.image, Qt::blue));
    // A file the program rewrote itself may keep its second and its size.
    SharedThumbnailCache(cacheRoot).forget(picture);
    EXPECT_EQ(make(picture).source, Source::Decode);
}

// Whether an entry another program wrote stands in for a decode.
struct HandEntry {
    const char* name;
    const char* sizeDir;
    qint64 mtimeOffset; // from the file's own
    bool otherUri;      // keyed by this file's name but made for another
    qint64 sizeOffset;  // in Thumb::Size, when not -1
    bool colourManaged;
    Source expected;
};

class HandWrittenEntries : public SlotThumbnailTest, public ::testing::WithParamInterface<HandEntry> {};

TEST_P(HandWrittenEntries, ServeOnlyWhenCurrentAndLargeEnough)
{
    const HandEntry c = GetParam();
    QImage image(256, 192, QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "png"));
    // The text after the pixels, as the format allows (Qt's writer can't
    // write keys with colons).
    QList<PngChunk> chunks = pngChunks(png);
    const auto text = [&](const QByteArray& key, const QByteArray& value) {
        chunks.insert(chunks.size() - 1, PngChunk{"tEXt", key + '\0' + value});
    };
    text("Thumb::URI", QUrl::fromLocalFile(c.otherUri ? dir.filePath("other.png") : picture).toEncoded());
    text("Thumb::MTime", QByteArray::number(mtimeOf(picture) + c.mtimeOffset));
    if (c.sizeOffset != -1)
        text("Thumb::Size", QByteArray::number(QFileInfo(picture).size() + c.sizeOffset));
    QDir().mkpath(cacheRoot + '/' + c.sizeDir);
    ASSERT_TRUE(putBytes(cacheRoot + '/' + c.sizeDir + '/' + SharedThumbnailCache::entryName(picture),
                         pngFile(chunks)));

    const SlotThumbnail t = make(picture, true, SlotBox, ExifOrientation::Apply, c.colourManaged);
    EXPECT_EQ(t.source, c.expected);
    EXPECT_EQ(t.image.size(), QSize(145, 108));
    EXPECT_TRUE(centreIs(t.image, c.expected == Source::SharedCache ? Qt::magenta : Qt::green));
    // A decode replaces the entry with a current one.
    const QImage large(cacheRoot + "/large/" + SharedThumbnailCache::entryName(picture));
    if (std::string(c.sizeDir) == "large") {
        EXPECT_TRUE(centreIs(large, c.colourManaged && c.expected == Source::Decode ? Qt::green : Qt::magenta));
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Entries, HandWrittenEntries, ::testing::Values(
    HandEntry{"Large", "large", 0, false, -1, true, Source::SharedCache},
    HandEntry{"XLargeWithSize", "x-large", 0, false, 0, true, Source::SharedCache},
    HandEntry{"NormalIsSmallerThanTheSlot", "normal", 0, false, -1, true, Source::Decode},
    HandEntry{"Stale", "large", -3600, false, -1, true, Source::Decode},
    HandEntry{"AnotherFilesUri", "large", 0, true, -1, true, Source::Decode},
    HandEntry{"SizeDiffers", "large", 0, false, 1, true, Source::Decode},
    HandEntry{"ColourManagementOff", "large", 0, false, -1, false, Source::Decode}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A real camera file (640 x 480, a 160 x 120 EXIF thumbnail) told to turn
// a quarter clockwise.
QByteArray turnedCameraFile()
{
    QByteArray jpeg = fileBytes(QStringLiteral(PV_CORPUS_DIR "/camera/DSCN0010.jpg"));
    const QByteArray orientation1("\x12\x01\x03\x00\x01\x00\x00\x00\x01\x00", 10); // Intel order
    const qsizetype at = jpeg.indexOf(orientation1);
    EXPECT_GT(at, 0);
    jpeg[at + 8] = 6;
    return jpeg;
}

struct CameraCase {
    const char* name;
    QSize box;
    ExifOrientation exif;
    Source expected;
    QSize size;
};

class CameraThumbnails : public SlotThumbnailTest, public ::testing::WithParamInterface<CameraCase> {};

TEST_P(CameraThumbnails, ServeTurnedAsThePictureWhenTheyCoverTheSlot)
{
    const CameraCase c = GetParam();
    const QString path = dir.filePath("turned.jpg");
    ASSERT_TRUE(putBytes(path, turnedCameraFile()));
    const SlotThumbnail t = make(path, true, c.box, c.exif);
    EXPECT_EQ(t.source, c.expected);
    ASSERT_EQ(t.image.size(), c.size);
    // Whatever the source, the same picture the same way up.
    const QImage decoded =
        Picture::loadFromFile(path, c.exif).thumbnail(c.box, true).convertToFormat(QImage::Format_RGB32);
    const QImage made = t.image.convertToFormat(QImage::Format_RGB32);
    qint64 difference = 0;
    for (int y = 0; y < made.height(); ++y)
        for (int x = 0; x < made.width(); ++x)
            difference += std::abs(qGray(made.pixel(x, y)) - qGray(decoded.pixel(x, y)));
    EXPECT_LT(difference / (made.width() * made.height()), 12);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Orientation6, CameraThumbnails, ::testing::Values(
    CameraCase{"Upright", SlotBox, ExifOrientation::Apply, Source::ExifThumbnail, QSize(108, 145)},
    CameraCase{"AsStored", SlotBox, ExifOrientation::Ignore, Source::ExifThumbnail, QSize(145, 108)},
    CameraCase{"SlotLargerThanTheThumbnail", QSize(200, 200), ExifOrientation::Apply, Source::Decode, QSize(150, 200)}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(SlotThumbnailTest, AnExifThumbnailServesAFileOfMegabytesFromItsHead)
{
    const QByteArray exif = readJpegHeader(turnedCameraFile()).exif;
    const QByteArray large =
        encodeJpeg(testpics::pattern(2400, 1800, 3), 95, JpegMetadata{false, {{0xE1, exif}}});
    ASSERT_GT(large.size(), 1024 * 1024);
    const QString path = dir.filePath("large.jpg");
    ASSERT_TRUE(putBytes(path, large));
    const SlotThumbnail t = make(path);
    EXPECT_EQ(t.source, Source::ExifThumbnail);
    EXPECT_EQ(t.image.size(), QSize(108, 145));
}

} // namespace
