// The strip's thumbnails off the GUI thread: made in view order, work for
// files scrolled away dropped, a file written meanwhile made again, and a
// file that can't be read told in the program's own words.
#include "viewer/ThumbnailQueue.h"

#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestPictures.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ThumbnailQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SlotThumbnailOptions options;
        options.box = QSize(145, 145);
        queue.setOptions(options);
        QObject::connect(&queue, &ThumbnailQueue::arrived, [this](const SlotThumbnail& t) { arrived << t; });
    }
    QStringList pictures(int n, const QString& stem = QStringLiteral("p"))
    {
        QStringList files;
        for (int k = 1; k <= n; ++k)
            files << testpics::writeJpeg(dir.filePath(QStringLiteral("%1%2.jpg").arg(stem).arg(k)), 640, 480,
                                         k);
        return files;
    }
    QStringList arrivedPaths() const
    {
        QStringList paths;
        for (const SlotThumbnail& t : arrived)
            paths << t.path;
        return paths;
    }
    bool drain() { return QTest::qWaitFor([this] { return !queue.isBusy(); }, 10000); }

    QTemporaryDir dir;
    ThumbnailQueue queue;
    QList<SlotThumbnail> arrived;
};

TEST_F(ThumbnailQueueTest, MadeInViewOrderWithTheReasonForAFileThatCannotBeRead)
{
    QStringList files = pictures(3);
    const QString broken = dir.filePath(QStringLiteral("broken.jpg"));
    ASSERT_TRUE(putBytes(broken, "\xFF\xD8 not a picture at all"));
    files.insert(1, broken);
    queue.want(files);
    ASSERT_TRUE(drain());
    ASSERT_EQ(arrivedPaths(), files);
    for (const SlotThumbnail& t : std::as_const(arrived)) {
        if (t.path == broken) {
            EXPECT_TRUE(t.image.isNull());
            EXPECT_EQ(t.failure, errorText([&] { Picture::loadFromFile(broken); }));
            EXPECT_FALSE(t.failure.isEmpty());
        } else {
            EXPECT_EQ(t.image.size(), QSize(145, 108)) << t.path.toStdString();
            EXPECT_TRUE(t.failure.isEmpty());
        }
    }
}

TEST_F(ThumbnailQueueTest, FilesScrolledOutOfViewAreDroppedAndTheNewOnesComeInOrder)
{
    const QStringList first = pictures(6);
    queue.want(first);
    // Scrolled on before anything arrived: only the last two stay in view.
    const QStringList now = {first[4], first[5], pictures(1, QStringLiteral("new"))[0]};
    queue.want(now);
    ASSERT_TRUE(drain());
    EXPECT_EQ(arrivedPaths(), now);
}

TEST_F(ThumbnailQueueTest, AFileWrittenAfterItWasReadIsMadeAgain)
{
    const QString path = pictures(1)[0];
    queue.want({path});
    queue.waitForIdle(); // made from the landscape picture, not yet delivered
    testpics::writeJpeg(path, 300, 600, 9);
    ASSERT_TRUE(drain());
    ASSERT_EQ(arrived.size(), 1);
    EXPECT_EQ(arrived[0].image.size(), QSize(72, 145)) << "the picture as the file holds it now";
}

} // namespace
