#include "tests/ui/AppFixture.h"

#include "ui/main/ImageMouse.h"

#include <QScrollBar>

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

void doubleClickPicture()
{
    const auto [w, local] = under(view()->rect().center());
    QTest::mouseDClick(w, Qt::LeftButton, {}, local);
}

// Sent to the view, where a wheel event over the picture ends up (one the
// program sends itself is not passed on from the picture to its parent).
void turnWheel(QPoint pos, int notches, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    turnWheelOver(view(), pos, notches, modifiers);
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
        EXPECT_EQ(panel(3), QStringLiteral("%1%").arg(std::lround(drawnScale() * 100))) << notches;
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

    doubleClickPicture();
    EXPECT_TRUE(mainWindow()->isFullScreenMode());
    doubleClickPicture();
    EXPECT_FALSE(mainWindow()->isFullScreenMode());
}

TEST_F(Mouse, PointerHidesWhenIdleInFullScreenAndSlideShows)
{
    openPath(collectionOf(3));
    ASSERT_TRUE(shows(1));
    mainWindow()->imageMouse()->setIdleInterval(50);
    const QPoint centre = view()->rect().center();
    const std::pair<const char*, std::function<void()>> modes[] = {
        {"window", [] {}},
        {"full screen", [] { mainWindow()->toggleFullScreen(); }},
        {"slide show", [] { command([] { session().slideShow().toggle(); }); }}};
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

// Every key and gesture of the main window runs its command only while that
// command can run: with nothing open none of them does anything (Full
// Screen, Zoom and the steps are off then), with a collection open each
// does. `ready` goes first, to give a step back or Escape something to do.
struct Input {
    const char* name;
    std::function<void()> send;
    std::function<void()> ready = [] {};
    friend void PrintTo(const Input& p, std::ostream* os) { *os << p.name; }
};

class KeysAndGestures : public AppFixture, public ::testing::WithParamInterface<Input> {
protected:
    static std::string state()
    {
        const MainWindow* w = mainWindow();
        const MainImage* image = w->mainImage();
        return QStringLiteral("full screen %1, follows %2, entry %3 shown %4, image %5x%6 drawn %7x%8")
            .arg(w->isFullScreenMode())
            .arg(session().followsCursor())
            .arg(session().currentEntry())
            .arg(session().strip().shownEntry())
            .arg(image->width())
            .arg(image->height())
            .arg(image->drawRect().width())
            .arg(image->drawRect().height())
            .toStdString();
    }
};

TEST_P(KeysAndGestures, RunOnlyWhileTheirCommandCan)
{
    const Input& input = GetParam();
    input.ready();
    const std::string closed = state();
    input.send();
    EXPECT_EQ(state(), closed) << "nothing open";
    openPath(testpics::makeCollection(dir.path(), "k.pvx", 3, 64, 48));
    input.ready();
    const std::string open = state();
    input.send();
    EXPECT_NE(state(), open) << "a collection open";
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, KeysAndGestures,
    ::testing::Values(
        Input{"Down", [] { key(Qt::Key_Down); }}, Input{"Space", [] { key(Qt::Key_Space); }},
        Input{"Up", [] { key(Qt::Key_Up); }, [] { key(Qt::Key_Down); }},
        Input{"Backspace", [] { key(Qt::Key_Backspace); }, [] { key(Qt::Key_Down); }},
        Input{"Enter", [] { key(Qt::Key_Return); }, [] { key(Qt::Key_Down); }},
        Input{"Right", [] { key(Qt::Key_Right); }}, Input{"End", [] { key(Qt::Key_End); }},
        Input{"KeypadPlus", [] { key(Qt::Key_Plus, Qt::KeypadModifier); }},
        Input{"KeypadMinus", [] { key(Qt::Key_Minus, Qt::KeypadModifier); }},
        Input{"Escape", [] { key(Qt::Key_Escape); }, [] { key(Qt::Key_S, Qt::ControlModifier); }},
        Input{"DoubleClick", doubleClickPicture},
        Input{"WheelOverThePicture", [] { turnWheel(view()->rect().center(), -1); }},
        Input{"CtrlWheelOverThePicture", [] { turnWheel(view()->rect().center(), 1, Qt::ControlModifier); }},
        Input{"WheelOverTheStrip", [] { turnWheelOver(mainWindow()->stripPanel(), QPoint(20, 20), -1); }}),
    [](const auto& info) { return std::string(info.param.name); });
