#include "collection/CollectionFile.h"
#include "graphics/Picture.h"
#include "tests/support/FileBytes.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

TEST(DemoCollection, ListsReadablePicturesOfBothKindsAndShapes)
{
    const QString demo = QStringLiteral(PV_BINARY_DIR "/demo/Demo.pvx");
    const QList<CollectionEntry> entries = readCollectionAll(demo);
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
        EXPECT_EQ(QSize(pixels.width(), pixels.height()), pic.size());
        jpegs += pic.kind() == Picture::Kind::Jpeg;
        bitmaps += pic.kind() == Picture::Kind::Bitmap;
        dotJpeg += e.FileName.endsWith(".jpeg");
        portrait += pic.height() > pic.width();
        landscape += pic.width() > pic.height();
        beyondScreen += pic.width() > 1920 && pic.height() > 1080;
        nonAscii += std::any_of(e.Comment.begin(), e.Comment.end(), [](QChar c) { return c.unicode() > 127; });
    }
    EXPECT_TRUE(jpegs >= 3 && bitmaps >= 3 && dotJpeg >= 1 && nonAscii >= 1);
    EXPECT_TRUE(portrait >= 2 && landscape >= 2 && beyondScreen >= 1);
    // Written by our own writer: the file holds exactly its lines.
    EXPECT_EQ(fileBytes(demo), formatCollection(entries));
}

} // namespace
