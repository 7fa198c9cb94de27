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
    int jpegs = 0, bitmaps = 0;
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
    }
    EXPECT_TRUE(jpegs >= 3 && bitmaps >= 3);
    // Written by our own writer: the file holds exactly its lines.
    EXPECT_EQ(fileBytes(demo), formatCollection(entries));
}

} // namespace
