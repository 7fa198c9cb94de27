#include "collection/CollectionFile.h"
#include "graphics/Picture.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const QString kDemo = QStringLiteral(PV_BINARY_DIR "/demo/Demo.pvx");

TEST(DemoCollection, ListsReadablePicturesOfBothKindsAndShapes)
{
    const QList<CollectionEntry> entries = readCollectionAll(kDemo);
    ASSERT_GE(entries.size(), 12);

    int jpegs = 0, bitmaps = 0, dotJpeg = 0, portrait = 0, landscape = 0, beyondScreen = 0, nonAscii = 0;
    for (const CollectionEntry& e : entries) {
        SCOPED_TRACE(e.FileName.toStdString());
        EXPECT_TRUE(QFileInfo(e.FileName).isAbsolute());
        EXPECT_FALSE(e.Comment.trimmed().isEmpty());
        Picture pic;
        ASSERT_NO_THROW(pic = Picture::loadFromFile(e.FileName));
        // Decoding in full proves the file is sound, not only its header.
        const Bitmap24 pixels = pic.toBitmap24();
        EXPECT_EQ(pixels.width(), pic.width());
        EXPECT_EQ(pixels.height(), pic.height());
        ASSERT_FALSE(pixels.isEmpty());

        jpegs += pic.kind() == Picture::Kind::Jpeg;
        bitmaps += pic.kind() == Picture::Kind::Bitmap;
        dotJpeg += e.FileName.endsWith(".jpeg");
        portrait += pic.height() > pic.width();
        landscape += pic.width() > pic.height();
        beyondScreen += pic.width() > 1920 && pic.height() > 1080;
        nonAscii +=
            std::any_of(e.Comment.begin(), e.Comment.end(), [](QChar c) { return c.unicode() > 127; });
    }
    EXPECT_GE(jpegs, 3);
    EXPECT_GE(bitmaps, 3);
    EXPECT_GE(dotJpeg, 1);
    EXPECT_GE(portrait, 2);
    EXPECT_GE(landscape, 2);
    EXPECT_GE(beyondScreen, 1);
    EXPECT_GE(nonAscii, 1);

    // Written by our own writer: the file holds exactly its lines.
    QFile f(kDemo);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), formatCollection(entries));
}

} // namespace
