// The main image and the strip with pictures decoded off the GUI thread:
// the drawn pixels arrive, first for the main image, at the size drawn.
#include "tests/ui/AppFixture.h"

#include "tests/support/BitmapCompare.h"

#include "viewer/LoadingSign.h"
#include "viewer/PictureFiles.h"

#include <QPainter>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>

#include <cstdlib>

namespace {

class MainImageDecodes : public AppFixture {
protected:
    // `n` pictures larger than the main area, each its own file.
    void openBig(int n, QSize size, bool wait = true)
    {
        QStringList files;
        for (int k = 1; k <= n; ++k)
            files << testpics::writeJpeg(dir.filePath(QStringLiteral("big%1.jpg").arg(k)), size.width(),
                                         size.height(), k);
        openFiles(files, wait);
    }
};

// An open decodes nothing for the strip on the GUI thread: the main image
// gets its picture first, then the slots fill in view order, each holding
// no more than a slot's worth of pixels.
TEST_F(MainImageDecodes, TheMainImageComesFirstThenTheStripFillsInViewOrder)
{
    MainWindow* w = mainWindow();
    qint64 now = 0;
    const LoadingSign::Clock clock = [&now] { return now; };
    LoadingSign* mainSign = w->findChild<LoadingSign*>();
    ASSERT_TRUE(mainSign);
    mainSign->setClock(clock);
    for (int i = 1; i <= w->slotCount(); ++i)
        w->slot(i)->loadingSign().setClock(clock);
    w->pictureFiles().setStripWait(std::chrono::hours(1));
    const auto restore = qScopeGuard(
        [w] { w->pictureFiles().setStripWait(std::chrono::milliseconds(PictureFiles::StripWaitMs)); });
    openBig(4, QSize(2400, 1800), false);
    // A loaded machine may not have read the collection by the time the
    // open returns; nothing is asked of the strip before it is read.
    ASSERT_TRUE(QTest::qWaitFor([w] { return !w->isReadingCollection(); }, 10000));
    const int n = std::min(4, w->slotCount());
    ASSERT_GE(n, 2);
    for (int i = 1; i <= n; ++i)
        EXPECT_TRUE(w->slot(i)->rendition().isNull()) << "slot " << i << " was filled while opening";
    // A wait past the delay shows a sign of work: a busy bar over the main
    // image, a light frame in a waiting slot; gone once the pictures are in.
    const auto* bar = w->findChild<QProgressBar*>(QStringLiteral("loadingIndicator"));
    ASSERT_TRUE(bar);
    EXPECT_FALSE(bar->isVisibleTo(w));
    now = LoadingSign::DelayMs;
    mainSign->check();
    w->slot(n)->loadingSign().check();
    EXPECT_TRUE(w->mainImage()->picture().isEmpty());
    EXPECT_TRUE(bar->isVisibleTo(w));
    EXPECT_EQ(bar->accessibleName(), QStringLiteral("Loading \u2026"));
    EXPECT_TRUE(w->slot(n)->loadingSign().isShown());
    QList<int> order;
    bool mainImageFirst = true;
    const auto filled = [&] {
        for (int i = 1; i <= n; ++i) {
            if (w->slot(i)->rendition().isNull() || order.contains(i))
                continue;
            order << i;
            mainImageFirst = mainImageFirst && !w->mainImage()->picture().isEmpty();
        }
        return order.size() == n;
    };
    ASSERT_TRUE(QTest::qWaitFor(filled, 10000));
    EXPECT_TRUE(mainImageFirst);
    // The signs follow the pictures' arrival on their own turn of the loop,
    // which a loaded machine may reach after the last slot is filled.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bar->isVisibleTo(w); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->slot(n)->loadingSign().isShown(); }, 10000));
    QList<int> inViewOrder(n);
    std::iota(inViewOrder.begin(), inViewOrder.end(), 1);
    EXPECT_EQ(order, inViewOrder);
    for (int i = 1; i <= n; ++i) {
        const QSize held = w->slot(i)->standIn().size();
        EXPECT_TRUE(held.width() <= ThumbSlot::Size && held.height() <= ThumbSlot::Size) << i;
    }
}

// As Is, the main image draws the very pixels of the whole decode; fitted,
// the picture is decoded at the size drawn, and again at the new size when
// the window grows, not left enlarged from the old one.
TEST_F(MainImageDecodes, ShowsTheDecodeAsIsAndAgainAtEachSizeFitted)
{
    openBig(1, QSize(1200, 900));
    MainImage* img = mainWindow()->mainImage();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(img->showsDecodedPixels()); }));
    const QImage whole = Picture::loadFromFile(session().entry(1).path).toImage();
    EXPECT_EQ(largestDifference(img->grab(img->drawRect()).toImage(), whole.copy(img->drawRect())), 0);
    mainWindow()->fitCentred();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(img->showsDecodedPixels()); }));
    const QSize before = img->drawRect().size();
    mainWindow()->setOuterSize(1000, 800);
    ASSERT_GT(img->drawRect().width(), before.width());
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(img->showsDecodedPixels()); }));
    const QImage drawn = img->grab(img->drawRect()).toImage();
    EXPECT_LE(
        largestDifference(drawn, whole.scaled(drawn.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)),
        24);
    EXPECT_TRUE(fake.errors.isEmpty());
}

// A picture too large to decode whole As Is shows in tiles: what the view
// shows, wherever it is scrolled, is the whole decode's pixels, and no
// full-size frame of it is ever made for the main image.
TEST_F(MainImageDecodes, AGiantPictureAsIsShowsItsViewFromTilesAndNeverAWholeFrame)
{
    openBig(1, QSize(5000, 3400));
    MainImage* img = mainWindow()->mainImage();
    QScrollArea* area = mainWindow()->imageArea();
    const QImage whole = Picture::loadFromFile(session().entry(1).path).toImage();
    for (const bool scrolled : {false, true}) {
        SCOPED_TRACE(scrolled);
        if (scrolled) {
            area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
            area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return img->showsDecodedPixels(); }, 20000));
        const QRect seen = QRect(-img->pos(), area->viewport()->size()).intersected(img->drawRect());
        EXPECT_EQ(largestDifference(img->grab(seen).toImage(), whole.copy(seen)), 0);
        const std::shared_ptr<const Decoded> d = mainWindow()->decoder()->find(session().entry(1).path);
        ASSERT_TRUE(d);
        EXPECT_TRUE(d->image.isNull() && d->band.isNull()) << "decoded whole: " << d->image.width();
    }
}

TEST_F(MainImageDecodes, TheMainColourSurroundsAndShowsThroughThePicture)
{
    QImage clear(800, 200, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    QPainter(&clear).fillRect(0, 0, 400, 200, Qt::red);
    const QString png = dir.filePath(QStringLiteral("half.png"));
    ASSERT_TRUE(clear.save(png));
    openFiles({testpics::writeJpeg(dir.filePath(QStringLiteral("wide.jpg")), 1200, 300, 3), png});
    mainWindow()->fitCentred();
    const QColor colour(30, 140, 60);
    mainWindow()->setMainColor(colour);
    MainImage* img = mainWindow()->mainImage();
    QWidget* viewport = img->parentWidget();
    for (const int entry : {1, 2}) {
        SCOPED_TRACE(entry);
        if (entry == 2)
            mainWindow()->goToEntry(2);
        ASSERT_TRUE(QTest::qWaitFor([&] { return img->showsDecodedPixels(); }));
        const QRect r = img->drawRect().translated(img->pos());
        ASSERT_GT(r.top(), 4); // margins above and below
        const QImage shot = viewport->grab().toImage();
        EXPECT_EQ(shot.pixelColor(viewport->width() / 2, r.top() / 2), colour);
        EXPECT_EQ(shot.pixelColor(viewport->width() / 2, (r.bottom() + viewport->height()) / 2), colour);
        if (entry == 2) {
            EXPECT_EQ(shot.pixelColor(r.left() + r.width() / 4, r.center().y()), QColor(Qt::red));
            EXPECT_EQ(shot.pixelColor(r.left() + r.width() * 3 / 4, r.center().y()), colour);
        }
    }
}

} // namespace
