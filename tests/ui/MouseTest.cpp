#include "tests/ui/AppFixture.h"

#include "ui/main/ImageMouse.h"

#include <QScrollBar>
#include <QWheelEvent>

namespace {

QWidget* view()
{
    return mainWindow()->imageArea()->viewport();
}

// The widget under `pos` of the view (the picture or the view itself) and
// `pos` in its coordinates, where the mouse's events land first.
std::pair<QWidget*, QPoint> under(QPoint pos)
{
    QWidget* w = view()->childAt(pos);
    return w ? std::pair{w, w->mapFrom(view(), pos)} : std::pair{view(), pos};
}

// Sent to the view, where a wheel event over the picture ends up (one the
// program sends itself is not passed on from the picture to its parent).
void turnWheel(QPoint pos, int notches, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWheelEvent e(pos, view()->mapToGlobal(pos), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(view(), &e);
}

double drawnScale()
{
    const MainImage* img = mainWindow()->mainImage();
    return double(img->drawRect().width()) / img->pictureSize().width();
}

// The picture point (in picture pixels) drawn under `pos` of the view.
QPointF pictureAt(QPoint pos)
{
    const MainImage* img = mainWindow()->mainImage();
    return (QPointF(pos) - img->pos() - img->drawRect().topLeft()) / drawnScale();
}

QPoint scrolled()
{
    const QScrollArea* a = mainWindow()->imageArea();
    return {a->horizontalScrollBar()->value(), a->verticalScrollBar()->value()};
}

QString zoomPanel()
{
    const auto* p = mainWindow()->findChild<QLabel*>(QStringLiteral("StatusPanel3"));
    return p ? p->text() : QStringLiteral("(no zoom panel)");
}

} // namespace

using Mouse = AppFixture;

TEST_F(Mouse, ZoomsAboutThePointerScrollsOrStepsPansAndDoubleClicksToFullScreen)
{
    openPath(testpics::makeCollection(dir.path(), "m.pvx", 3, 1200, 900));
    ASSERT_TRUE(shows(1));
    mainWindow()->fitCentred();
    const QPoint pointer = view()->rect().center();

    // Ctrl+wheel starts from the scale on screen and keeps the pointed-at
    // spot under the pointer, in and out.
    for (const int notches : {2, 1, -1}) {
        const double before = drawnScale();
        const QPointF spot = pictureAt(pointer);
        turnWheel(pointer, notches, Qt::ControlModifier);
        EXPECT_NEAR(drawnScale(), before * std::pow(1.25, notches), 0.002) << notches;
        EXPECT_NEAR((pictureAt(pointer) - spot).manhattanLength(), 0, 3) << notches;
        EXPECT_EQ(zoomPanel(), QStringLiteral("%1%").arg(std::lround(drawnScale() * 100))) << notches;
    }
    EXPECT_EQ(session().currentEntry(), 1);

    // Larger than the view: the wheel scrolls and a drag pans, with a hand.
    turnWheel(pointer, 2, Qt::ControlModifier);
    ASSERT_GT(mainWindow()->mainImage()->height(), view()->height());
    EXPECT_EQ(view()->cursor().shape(), Qt::OpenHandCursor);
    const QPoint top = scrolled();
    turnWheel(pointer, -1);
    EXPECT_GT(scrolled().y(), top.y());
    EXPECT_EQ(session().currentEntry(), 1);
    QScrollArea* area = mainWindow()->imageArea();
    area->horizontalScrollBar()->setValue(100);
    area->verticalScrollBar()->setValue(100);
    auto [w, local] = under(QPoint(200, 200));
    QTest::mousePress(w, Qt::LeftButton, {}, local);
    EXPECT_EQ(view()->cursor().shape(), Qt::ClosedHandCursor);
    QTest::mouseMove(w, local + QPoint(40, 30));
    QTest::mouseRelease(w, Qt::LeftButton, {}, local + QPoint(40, 30));
    EXPECT_EQ(scrolled(), QPoint(60, 70));
    EXPECT_EQ(view()->cursor().shape(), Qt::OpenHandCursor);

    // Fitted again: the wheel goes to the next and previous entries, and
    // the main image shows them.
    mainWindow()->fitCentred();
    turnWheel(pointer, -1);
    EXPECT_TRUE(shows(2));
    turnWheel(pointer, 1);
    EXPECT_TRUE(shows(1));

    std::tie(w, local) = under(pointer);
    QTest::mouseDClick(w, Qt::LeftButton, {}, local);
    EXPECT_TRUE(mainWindow()->isFullScreenMode());
    std::tie(w, local) = under(pointer);
    QTest::mouseDClick(w, Qt::LeftButton, {}, local);
    EXPECT_FALSE(mainWindow()->isFullScreenMode());
}

// Over the picture the pointer hides after a while without moving, in
// full screen and during a slide show only, and comes back when it moves.
TEST_F(Mouse, PointerHidesWhenIdleInFullScreenAndSlideShows)
{
    openPath(collectionOf(3));
    ASSERT_TRUE(shows(1));
    mainWindow()->imageMouse()->setIdleInterval(50);
    const QPoint centre = view()->rect().center();
    const std::pair<const char*, std::function<void()>> modes[] = {
        {"window", [] {}},
        {"full screen", [] { mainWindow()->toggleFullScreen(); }},
        {"slide show", [] { runCommand([] { session().slideShow().toggle(); }); }}};
    for (const auto& [mode, enter] : modes) {
        const bool hides = std::string(mode) != "window";
        QTest::mouseMove(view(), centre);
        enter();
        QTest::qWait(200);
        EXPECT_EQ(view()->cursor().shape() == Qt::BlankCursor, hides) << mode;
        QTest::mouseMove(view(), centre + QPoint(5, 5));
        EXPECT_NE(view()->cursor().shape(), Qt::BlankCursor) << mode;
        QTest::qWait(200);
        EXPECT_EQ(view()->cursor().shape() == Qt::BlankCursor, hides) << mode;
        enter(); // and out again
        EXPECT_NE(view()->cursor().shape(), Qt::BlankCursor) << mode;
    }
}
