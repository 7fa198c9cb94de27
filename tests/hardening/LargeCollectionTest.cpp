// Collections far beyond any real album: a million lines, a comment of ten
// megabytes. The window must stay usable and read only what it shows.
#include "tests/ui/AppFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QStatusTipEvent>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int SlowDown = 4; // sanitized builds run several times slower
#else
constexpr int SlowDown = 1;
#endif

class LargeCollection : public AppFixture {
protected:
    // Three real pictures, then `missing` lines naming files that do not
    // exist: reading any of those would raise "Cannot open file".
    QString writeCollection(int missing, const QByteArray& firstComment = "first")
    {
        const QString a = testpics::writeJpeg(dir.filePath("a.jpg"), 32, 24, 1);
        const QString b = testpics::writeBmp(dir.filePath("b.bmp"), 32, 24, 2);
        const QString c = testpics::writeJpeg(dir.filePath("c.jpg"), 32, 24, 3);
        QByteArray bytes;
        bytes.reserve(qsizetype(missing) * 40 + firstComment.size() + 200);
        bytes += a.toUtf8() + '^' + firstComment + "^\r\n";
        bytes += b.toUtf8() + "^second^\r\n";
        bytes += c.toUtf8() + "^third^\r\n";
        const QByteArray gone = dir.filePath("gone/").toUtf8();
        for (int i = 0; i < missing; ++i)
            bytes += gone + QByteArray::number(i) + ".jpg^c^\r\n";
        const QString path = dir.filePath("big.pvx");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        EXPECT_EQ(f.write(bytes), bytes.size());
        return path;
    }
};

TEST_F(LargeCollection, MillionLinesOpenReadingOnlyTheVisiblePictures)
{
    const int total = 1000000;
    const QString path = writeCollection(total - 3);
    QElapsedTimer clock;
    clock.start();
    openPath(path);
    const qint64 ms = clock.elapsed();
    std::printf("opening %d entries took %lld ms\n", total, static_cast<long long>(ms));

    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.value(0).toStdString();
    EXPECT_EQ(session().entryCount(), total);
    EXPECT_EQ(panel(1), QStringLiteral("Image: 1 / %1").arg(total));
    for (int s = 1; s <= 3; ++s)
        EXPECT_FALSE(mainWindow()->slot(s)->picture().isEmpty()) << s;
    EXPECT_EQ(mainWindow()->LabelComent()->text(), QStringLiteral("first"));
    EXPECT_LT(ms, 60000 * SlowDown);

    // The premise: the fourth entry is read only when it comes into view,
    // and then its absence is reported.
    mainWindow()->toggleFollowMode();
    for (int i = 0; i < 3; ++i)
        key(Qt::Key_Down);
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors[0].startsWith(QStringLiteral("Cannot open file \"") + dir.filePath("gone/0.jpg")))
        << fake.errors[0].toStdString();
}

TEST_F(LargeCollection, TenMegabyteCommentShowsAtOnceAsPlainText)
{
    // Markup in the comment must stay text, never become rich text.
    QByteArray comment = "<b>bold?</b> ";
    while (comment.size() < 10 * 1024 * 1024)
        comment += "a long line of words with <i>tags</i> and no end ";
    const QString path = writeCollection(0, comment);

    QElapsedTimer clock;
    clock.start();
    openPath(path);
    mainWindow()->repaint();
    QCoreApplication::processEvents();
    const qint64 ms = clock.elapsed();
    std::printf("opening and showing a %lld-byte comment took %lld ms\n",
                static_cast<long long>(comment.size()), static_cast<long long>(ms));

    EXPECT_TRUE(fake.errors.isEmpty());
    EXPECT_EQ(mainWindow()->LabelComent()->textFormat(), Qt::PlainText);
    EXPECT_EQ(mainWindow()->slot(1)->hint(), QString::fromUtf8(comment));
    EXPECT_LT(ms, 1000 * SlowDown);
    // The window keeps its layout: the comment line does not push it wider.
    EXPECT_LE(mainWindow()->LabelComent()->width(), mainWindow()->width());

    // Moving on and back stays as quick.
    clock.restart();
    key(Qt::Key_Down);
    key(Qt::Key_Up);
    mainWindow()->repaint();
    EXPECT_LT(clock.elapsed(), 1000 * SlowDown);
    EXPECT_EQ(session().currentEntry(), 1);

    // Pointing at the slot puts its hint, the whole comment, in the status bar.
    clock.restart();
    QStatusTipEvent tip(mainWindow()->slot(1)->statusTip());
    QCoreApplication::sendEvent(mainWindow(), &tip);
    mainWindow()->repaint();
    EXPECT_LT(clock.elapsed(), 1000 * SlowDown);
    EXPECT_EQ(panel(0), QString::fromUtf8(comment));
}

} // namespace
