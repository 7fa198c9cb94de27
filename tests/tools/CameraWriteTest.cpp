// Camera JPEGs written back: quarter turns without loss where the blocks
// allow it, and the camera's metadata kept by every kind of write, as our
// reader and exiftool both see it.
#include "collection/CollectionFile.h"
#include "core/AtomicFile.h"
#include "effects/PictureWrite.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "tests/support/BitmapCompare.h"
#include "tests/support/CameraPictures.h"
#include "tests/support/KindPictures.h"
#include "tests/tools/FxRun.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void fxOk(const QStringList& args)
{
    const FxResult r = fx(args);
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
}

// The quarters with a fine texture, so the file is as large as a photo's
// and its size means something.
Bitmap24 photo(int width, int height)
{
    Bitmap24 b = Bitmap24::fromImage(kinds::quadrants(width, height));
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = b.scanLine(y);
        for (int i = 0; i < 3 * width; ++i)
            p[i] = std::uint8_t(std::clamp(p[i] + (i * 7 + y * 13) % 29 - 14, 0, 255));
    }
    return b;
}

QSize sizeOf(const Bitmap24& b)
{
    return QSize(b.width(), b.height());
}

// Turns the file right `times` times, and answers what it then holds.
Bitmap24 afterTurnsRight(const QString& path, int times)
{
    for (int i = 0; i < times; ++i)
        fxOk({"rotate", "right", path});
    return Picture::loadFromFile(path).toBitmap24();
}

// The corners after one quarter turn clockwise.
QString turnedRight(const QString& c)
{
    const QChar turned[4] = {c[2], c[0], c[3], c[1]};
    return QString(turned, 4);
}

struct Turn {
    int width, height, orientation;
    bool fittedTables = false; // Huffman tables fitted to the picture, as many editors write them
};

class FourTurnsRight : public ::testing::TestWithParam<Turn> {};

TEST_P(FourTurnsRight, GiveThePictureBack)
{
    const Turn t = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("photo.jpg");
    const QByteArray jpeg = camera::cameraJpeg(photo(t.width, t.height), t.orientation);
    writeFileAtomically(path, t.fittedTables ? recodeJpegOptimized(jpeg) : jpeg);
    const Bitmap24 first = afterTurnsRight(path, 0);
    const qint64 firstBytes = QFileInfo(path).size();

    const Bitmap24 once = afterTurnsRight(path, 1);
    EXPECT_EQ(sizeOf(once), sizeOf(first).transposed());
    EXPECT_EQ(kinds::corners(once.wrap()), turnedRight(kinds::corners(first.wrap())));

    const Bitmap24 four = afterTurnsRight(path, 3);
    ASSERT_EQ(sizeOf(four), sizeOf(first));
    EXPECT_EQ(kinds::corners(four.wrap()), kinds::corners(first.wrap()));
    if (t.width % 16 != 0 || t.height % 16 != 0) {
        EXPECT_FALSE(four == first) << "edge blocks that can't move whole are re-encoded";
        return;
    }
    // Blocks stored turned code a little differently with the standard tables.
    const qint64 fourBytes = QFileInfo(path).size();
    EXPECT_NEAR(double(fourBytes), double(firstBytes), firstBytes / (t.orientation == 1 ? 100.0 : 50.0));
    if (t.orientation == 1)
        EXPECT_TRUE(four == first) << "lossless turns give the first decode back exactly";
    else // the first turn set the camera's turn into the blocks, whose decode rounds a little differently
        EXPECT_LE(largestDifference(four, first), 4);
}

// Whole MCUs (16 x 16 here) in several orientations, then sizes that are not.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Camera, FourTurnsRight, ::testing::Values(Turn{1024, 768, 1}, Turn{1024, 768, 6},
    Turn{1024, 768, 5}, Turn{1024, 768, 8}, Turn{1024, 768, 6, true}, Turn{1021, 765, 1}, Turn{1021, 765, 6}),
    [](const auto& info) {
        const Turn& t = info.param;
        return std::to_string(t.width) + "x" + std::to_string(t.height) + "Tag" + std::to_string(t.orientation) + (t.fittedTables ? "FittedTables" : "");
    });
// clang-format on

// One way of writing a JPEG back: pictavo-fx with these arguments ("IN" the
// camera picture, stored with tag `from`, "OUT" a new file, "PVX" a
// collection listing IN), or with none the effects dialog's write; the tag
// and stored size it must leave. An upright picture takes the streamed path.
struct Write {
    const char* name;
    QSize stored;
    QStringList args;
    int orientation;
    QSize written;
    int from = 6;
};

class MetadataKept : public ::testing::TestWithParam<Write> {};

TEST_P(MetadataKept, ByOurReaderAndByExiftool)
{
    const Write w = GetParam();
    QTemporaryDir dir;
    const QString in = dir.filePath("photo.jpg"), pvx = dir.filePath("c.pvx");
    writeFileAtomically(in, camera::cameraJpeg(photo(w.stored.width(), w.stored.height()), w.from));
    writeCollection(pvx, {{in, "photo"}});
    QString out = in;
    if (w.args.isEmpty()) {
        const Picture source = Picture::loadFromFile(in);
        Bitmap24 b = source.toBitmap24();
        b.fill(10, 20, 30);
        writeRenderedPicture(in, b, source);
    } else {
        out = w.args.contains("OUT") ? dir.filePath("out.jpg") : in;
        QStringList args;
        for (const QString& a : w.args)
            args << (a == "IN" ? in : a == "OUT" ? out : a == "PVX" ? pvx : a);
        fxOk(args);
    }
    ASSERT_EQ(sizeOf(Picture::loadFromFile(out, ExifOrientation::Ignore).toBitmap24()), w.written);
    const camera::Tags expected{w.orientation, camera::Make, camera::Model, camera::Taken,
                                w.written.width(), w.written.height(), true, true};
    EXPECT_TRUE(camera::readTags(out) == expected);
    EXPECT_TRUE(camera::exiftoolTags(out) == expected);
}

const QSize Mcu(320, 160), NotMcu(321, 161);

// clang-format off
INSTANTIATE_TEST_SUITE_P(Camera, MetadataKept, ::testing::Values(
    Write{"EffectsDialog", Mcu, {}, 1, Mcu.transposed()},
    Write{"Render", Mcu, {"render", "--brightness=30", "IN", "OUT"}, 1, Mcu.transposed()},
    Write{"RenderAsStored", Mcu, {"render", "--no-auto-orient", "--brightness=30", "IN", "OUT"}, 6, Mcu},
    Write{"ApplyToCollection", Mcu, {"apply", "--saturation=-40", "PVX"}, 1, Mcu.transposed()},
    Write{"ApplyStreamed", NotMcu, {"apply", "--saturation=-40", "PVX"}, 1, NotMcu, 1},
    Write{"LosslessTurn", Mcu, {"rotate", "left", "IN"}, 1, Mcu},
    Write{"ReencodedTurn", NotMcu, {"rotate", "left", "IN"}, 1, NotMcu}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

} // namespace
