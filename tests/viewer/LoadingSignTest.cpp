// The sign of work: nothing for a short wait, then the sign with the
// file's embedded preview until the picture arrives.
#include "viewer/EmbeddedPreview.h"
#include "viewer/LoadingSign.h"

#include "tests/graphics/Corpus.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(LoadingSign, ShowsOnlyPastTheDelayWithThePreviewUntilThePictureArrives)
{
    qint64 now = 0;
    QStringList fetched;
    LoadingSign sign([&fetched](const QString& path) -> std::function<QImage()> {
        fetched << path;
        return [] { return QImage(8, 6, QImage::Format_RGB32); };
    });
    sign.setClock([&now] { return now; });
    QSignalSpy changed(&sign, &LoadingSign::changed);
    sign.follow(QStringLiteral("a.jpg"));
    now = LoadingSign::DelayMs - 1;
    sign.check();
    EXPECT_FALSE(sign.isShown());
    // The same picture asked for again: its wait goes on.
    sign.follow(QStringLiteral("a.jpg"));
    now = LoadingSign::DelayMs;
    sign.check();
    EXPECT_TRUE(sign.isShown());
    EXPECT_EQ(fetched, QStringList{"a.jpg"});
    ASSERT_TRUE(QTest::qWaitFor([&sign] { return !sign.preview().isNull(); }));
    EXPECT_EQ(changed.size(), 2);
    // Pixels of another size drawn meanwhile: no preview over them.
    sign.follow(QStringLiteral("a.jpg"), false);
    EXPECT_TRUE(sign.isShown());
    EXPECT_TRUE(sign.preview().isNull());
    // Another picture: nothing of the first stays, and its own wait begins.
    sign.follow(QStringLiteral("b.jpg"));
    EXPECT_FALSE(sign.isShown());
    EXPECT_TRUE(sign.preview().isNull());
    // The picture arrived: however long it took, no sign.
    const qsizetype told = changed.size();
    now += 10 * LoadingSign::DelayMs;
    sign.follow(QString());
    sign.check();
    EXPECT_FALSE(sign.isShown());
    EXPECT_EQ(changed.size(), told);
}

TEST(EmbeddedPreview, TheFilesOwnThumbnailOrNone)
{
    const struct {
        const char* file;
        bool has;
    } cases[] = {{"camera/DSCN0010.jpg", true}, {"camera/IMG_5195.HEIC", false}, {"jpeg/testorig.jpg", false}};
    for (const auto& c : cases) {
        const QImage preview =
            embeddedPreview(corpusPath(QLatin1String(c.file)), QSize(160, 160), ExifOrientation::Apply, true);
        EXPECT_EQ(!preview.isNull(), c.has) << c.file;
        EXPECT_LE(std::max(preview.width(), preview.height()), 160) << c.file;
    }
}

} // namespace
