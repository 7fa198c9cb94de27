// A picture opened by itself: which files of its folder are listed, and
// in which order.
#include "viewer/FolderPictures.h"
#include "core/Errors.h"
#include "tests/support/FileBytes.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class FolderPicturesTest : public ::testing::Test {
protected:
    QString make(const QString& name, const QByteArray& bytes = "x")
    {
        EXPECT_TRUE(putBytes(dir.filePath(name), bytes));
        return dir.filePath(name);
    }
    QStringList listed(const FolderPictures& found) const
    {
        QStringList names;
        for (const CollectionEntry& e : found.entries) {
            EXPECT_EQ(QFileInfo(e.path).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
            EXPECT_TRUE(e.comment.isEmpty());
            names << QFileInfo(e.path).fileName();
        }
        return names;
    }
    QTemporaryDir dir;
};

TEST_F(FolderPicturesTest, PicturesComeInNaturalNameOrderWhateverTheirCase)
{
    // Made out of order, so the folder's own order proves nothing.
    const QStringList natural{"a.jpg",      "B.bmp",      "c.png",       "img2.jpg",     "img10.jpg",
                              "IMG11.jpeg", "img100.jpg", "photo 9.gif", "photo 10.gif", "photo 11.tif"};
    for (qsizetype i = natural.size(); i-- > 0;)
        make(natural.at(i));
    for (qsizetype i = 0; i < natural.size(); ++i) {
        const FolderPictures found = folderPictures(dir.filePath(natural.at(i)));
        EXPECT_EQ(listed(found), natural);
        EXPECT_EQ(found.current, i + 1) << natural.at(i).toStdString();
    }
    // The folder itself: the same, at its first picture; one without any says so.
    const FolderPictures whole = folderPictures(dir.path());
    EXPECT_EQ(listed(whole), natural);
    EXPECT_EQ(whole.current, 1);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("empty")));
    EXPECT_THROW(folderPictures(dir.filePath(QStringLiteral("empty"))), AppError);
}

TEST_F(FolderPicturesTest, OnlyPicturesAreListedAPictureWithoutAKnownNameByItsContent)
{
    const QString picture = make(QStringLiteral("b.jpg"));
    make(QStringLiteral("a.txt"), "just text");
    make(QStringLiteral("c.pvx"), "b.jpg^comment^\r\n");
    make(QStringLiteral("d^e.jpg")); // a collection cannot list it
    make(QStringLiteral("download"), QByteArray::fromHex("89504e470d0a1a0a0000000d49484452"));
    make(QStringLiteral("readme"), "no picture at all");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.jpg")));
    // A link counts as what it leads to.
    ASSERT_TRUE(QFile::link(picture, dir.filePath(QStringLiteral("link.jpg"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("none")), dir.filePath(QStringLiteral("dangling.jpg"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("folder.jpg")), dir.filePath(QStringLiteral("f.png"))));
    const FolderPictures found = folderPictures(picture);
    EXPECT_EQ(listed(found), (QStringList{"b.jpg", "download", "link.jpg"}));
    EXPECT_EQ(found.current, 1);
    EXPECT_TRUE(isPictureFile(dir.filePath(QStringLiteral("download"))));
    EXPECT_FALSE(isPictureFile(dir.filePath(QStringLiteral("folder.jpg"))));
    // A name the folder doesn't hold: the others, but no place among them.
    EXPECT_EQ(folderPictures(dir.filePath(QStringLiteral("gone.jpg"))).current, 0);
}

TEST_F(FolderPicturesTest, TheFirstPictureOfAnOpenIsKnownWithoutListingItsFolder)
{
    const QString picture = make(QStringLiteral("b.jpg"));
    make(QStringLiteral("a.jpg"));
    const struct {
        QString named, first;
    } cases[] = {
        {picture, picture},
        {make(QStringLiteral("c.pvx"), "b.jpg^first^\r\na.jpg^second^\r\n"), picture},
        {make(QStringLiteral("d.pvx"), "gone.jpg^first^\r\na.jpg^second^\r\n"), QString()},
        {make(QStringLiteral("e.pvx"), "a.jpg^^\r\n" + QByteArray(1100 * 1024, ' ')), QString()},
        {dir.path(), QString()},
        {QString(), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(firstPictureOpened(c.named, {}), c.first) << c.named.toStdString();
}

} // namespace
