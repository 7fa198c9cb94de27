// Collections far beyond any real album: a million lines, a comment of ten
// megabytes. The window must stay usable and read only what it shows (how
// fast it opens is bench_navigation's business).
#include "tests/support/FileBytes.h"
#include "tests/ui/AppFixture.h"

#include <QLabel>

namespace {

class LargeCollection : public AppFixture {
protected:
    // Three real pictures, then `missing` lines naming files that do not
    // exist: reading any of those would raise "Cannot open file".
    QString writeCollection(int missing, const QByteArray& firstComment = "first")
    {
        QByteArray bytes = testpics::writeJpeg(dir.filePath("a.jpg"), 32, 24, 1).toUtf8() + '^' + firstComment + "^\r\n";
        bytes += testpics::writeBmp(dir.filePath("b.bmp"), 32, 24, 2).toUtf8() + "^second^\r\n";
        bytes += testpics::writeJpeg(dir.filePath("c.jpg"), 32, 24, 3).toUtf8() + "^third^\r\n";
        const QByteArray gone = dir.filePath("gone/").toUtf8();
        for (int i = 0; i < missing; ++i)
            bytes += gone + QByteArray::number(i) + ".jpg^c^\r\n";
        EXPECT_TRUE(putBytes(dir.filePath("big.pvx"), bytes));
        return dir.filePath("big.pvx");
    }
};

TEST_F(LargeCollection, MillionLinesOpenReadingOnlyTheVisiblePictures)
{
    const int total = 1000000;
    openPath(writeCollection(total - 3));
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.value(0).toStdString();
    EXPECT_EQ(panel(1), QStringLiteral("Image: 1 / %1").arg(total));
    for (int s = 1; s <= 3; ++s)
        EXPECT_FALSE(mainWindow()->slot(s)->picture().isEmpty()) << s;

    // The fourth entry is read only when it comes into view, and then its
    // absence is reported.
    mainWindow()->toggleFollowMode();
    for (int i = 0; i < 3; ++i)
        key(Qt::Key_Down);
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors[0].startsWith("Cannot open file \"" + dir.filePath("gone/0.jpg"))) << fake.errors[0].toStdString();
}

TEST_F(LargeCollection, TenMegabyteCommentStaysPlainTextAndTheWindowsWidth)
{
    // Markup in the comment must stay text, never become rich text.
    QByteArray comment = "<b>bold?</b> ";
    while (comment.size() < 10 * 1024 * 1024)
        comment += "a long line of words with <i>tags</i> and no end ";
    openPath(writeCollection(0, comment));
    EXPECT_TRUE(fake.errors.isEmpty());
    EXPECT_EQ(mainWindow()->LabelComent()->textFormat(), Qt::PlainText);
    EXPECT_EQ(mainWindow()->slot(1)->hint(), QString::fromUtf8(comment));
    EXPECT_LE(mainWindow()->LabelComent()->width(), mainWindow()->width());
}

} // namespace
