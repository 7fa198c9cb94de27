#include "tests/ui/AppFixture.h"

#include "collection/CollectionListModel.h"
#include "core/AtomicFile.h"
#include "tests/support/FileBytes.h"
#include "ui/common/CommentsWindow.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/effects/EffectsDialog.h"
#include "ui/settings/SettingsDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QWindow>


using MainWindowTest = AppFixture;

// The comments window, never shown, follows every entry shown all the
// same (an open leaves it alone).
TEST_F(MainWindowTest, EverySizeChangeLaysOutAsManySlotsAsFitUpToTenAndKeepsTheShownEntry)
{
    openPath(collectionOf(12));
    QLabel* comments = commentsWindow()->commentLabel();
    EXPECT_TRUE(comments->text().isEmpty()) << "opening leaves it alone";
    mainWindow()->selectSlot(2);
    EXPECT_EQ(comments->text(), QStringLiteral("comment 2"));
    mainWindow()->toggleFollowMode();
    for (int i = 0; i < 2; ++i)
        key(Qt::Key_Down); // the second scrolls the strip
    ASSERT_TRUE(shows(4));
    EXPECT_EQ(comments->text(), QStringLiteral("comment 4"));
    const struct {
        int strip, slotCount;
    } sizes[] = {{520, 4}, {519, 3}, {1600, 10}, {270, 2}};
    for (const auto& s : sizes) {
        mainWindow()->setOuterSize(624, 130 + s.strip);
        EXPECT_EQ(mainWindow()->slotCount(), s.slotCount);
        EXPECT_TRUE(shows(4)) << s.strip;
    }
    EXPECT_EQ(session().strip().firstIndex(), 2) << "scrolled only as far as it must";
    action("mnuFullScreen1")->trigger();
    EXPECT_TRUE(shows(4));
    key(Qt::Key_Escape);
    EXPECT_TRUE(shows(4));
}

// Add... starts beside the collection, the keyboard comes back to the main
// window when a window it opened closes, and a key whose command fails
// (the fourth picture is gone) still takes one step.
TEST_F(MainWindowTest, AddStartsBesideTheCollectionFocusComesBackAndAFailingKeyStepsOnce)
{
    openPath(collectionOf(5));
    action("mnuAdd")->trigger();
    collectionEditor()->findChild<QToolButton*>("btnAdd")->click();
    EXPECT_EQ(fake.openFolders, QStringList{dir.path()});
    const QList<QWidget*> windows = {collectionEditor(), settingsDialog(), commentsWindow()};
    for (QWidget* w : windows) {
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([w] { return QApplication::activeWindow() == w; }, 2000));
        w->close();
        EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activeWindow() == mainWindow(); }, 2000))
            << w->objectName().toStdString();
    }
    ASSERT_TRUE(QFile::remove(session().entry(4).path));
    mainWindow()->toggleFollowMode();
    QTest::mouseClick(mainWindow()->imageArea()->viewport(), Qt::LeftButton);
    ASSERT_TRUE(mainWindow()->imageArea()->hasFocus());
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(mainWindow()->imageArea(), Qt::Key_Space);
    settle();
    EXPECT_EQ(session().currentEntry(), 4);
    EXPECT_EQ(fake.errors.size(), 1);
}

// The next start comes back where this run ended (entry, follow mode and
// window), within the screen it finds; what the start opens, remembered or
// named, is read only once the main window has shown its first frame, and
// then shows as it always did; one that can't be read keeps the one to go
// back to. With FitPictures an open and a slot click show the picture fitted.
TEST_F(MainWindowTest, AStartComesBackWhereTheLastRunEndedAfterItsFirstFrame)
{
    const QString path = collectionOf(12);
    openPath(path);
    key(Qt::Key_End);
    key(Qt::Key_Left);
    mainWindow()->toggleFollowMode();
    mainWindow()->setGeometry(QRect(40, 50, 640, 480));
    end();
    const QString nope = dir.filePath("nope.pvx");
    for (const auto& [commandLine, shown] :
         {std::pair{QStringList(), 11}, {QStringList{path}, 1}, {QStringList{nope}, 0}, {QStringList(), 1}}) {
        auto* program = new Program(iniPath(), commandLine, {nullptr, &fake});
        EXPECT_EQ(program->session().entryCount(), 0) << "read before the window was up";
        started(program);
        if (shown) {
            EXPECT_TRUE(shows(shown));
        } else {
            EXPECT_EQ(fake.errors, QStringList{"File not found (" + nope + ")"});
        }
        EXPECT_TRUE(session().followsCursor());
        EXPECT_EQ(mainWindow()->geometry(), QRect(40, 50, 640, 480));
        end();
    }
    start();
    restart("[Window]\nLeft=-3000\nTop=5000\nWidth=9000\nHeight=9000\nFitPictures=1\n");
    EXPECT_TRUE(mainWindow()->screen()->availableGeometry().contains(mainWindow()->geometry()))
        << "from a larger screen";
    EXPECT_FALSE(session().followsCursor() || session().entryCount()) << "absent keys: a first start";
    EXPECT_TRUE(settingsDialog()->findChild<QCheckBox*>("chkFitPictures")->isChecked());
    const auto fitted = [] {
        return mainWindow()->mainImage()->proportional() && !mainWindow()->mainImage()->autoSize();
    };
    openPath(path);
    EXPECT_TRUE(fitted());
    action("AsIs1")->trigger();
    QTest::mouseClick(mainWindow()->slot(2), Qt::LeftButton);
    EXPECT_TRUE(fitted());
}

// The start builds the main window alone and loads no sound stack. Each
// other window is built when it is first needed and is then as it always
// was: showing the settings, the open collection and the comment on view.
TEST_F(MainWindowTest, WindowsNotShownAtStartAreBuiltWhenFirstNeeded)
{
    restart("[SlideShow]\nDelay=7\n");
    const auto built = [] {
        QStringList names;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QDialog*>(w) || qobject_cast<CollectionEditor*>(w) ||
                qobject_cast<CommentsWindow*>(w))
                names << QLatin1String(w->metaObject()->className());
        return names;
    };
    EXPECT_TRUE(built().isEmpty()) << "built at start: " << built().join(' ').toStdString();
    EXPECT_FALSE(fileBytes(QStringLiteral("/proc/self/maps")).contains("libQt6Multimedia")) << "sound stack";

    openPath(collectionOf(3));
    mainWindow()->goToEntry(3);
    mainWindow()->goToEntry(1);
    action("mnuComments")->trigger();
    EXPECT_TRUE(commentsWindow()->isVisible());
    EXPECT_EQ(commentsWindow()->commentLabel()->text(), session().entry(1).comment);
    EXPECT_EQ(commentsWindow()->commentLabel()->font(), mainWindow()->commentLine()->font());
    mainWindow()->editCollection();
    EXPECT_EQ(collectionEditor()->list()->entries(), session().listedEntries());
    EXPECT_EQ(settingsDialog()->findChild<QLineEdit*>("edDelay")->text(), "7");
    EXPECT_EQ(effectsDialog()->parentWidget(), mainWindow()) << "modal over the main window";
    action("mnuAbout")->trigger();
    EXPECT_EQ(built().size(), 5) << built().join(' ').toStdString();
}

class ProgramEnd : public AppFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(ProgramEnd, WritesTheSettings)
{
    const QString ini = dir.filePath(QStringLiteral("pictavo.ini"));
    settingsDialog()->findChild<QLineEdit*>("edDelay")->setText(QStringLiteral("17"));
    settingsDialog()->applySettings();
    ASSERT_FALSE(QFile::exists(ini)) << "written only at the end";
    QTimer::singleShot(0, mainWindow(), [way = std::string(GetParam())] {
        if (way == "F10")
            QTest::keyClick(mainWindow(), Qt::Key_F10);
        else if (way == "CloseBox")
            mainWindow()->windowHandle()->close();
        else
            action("Exit1")->trigger();
    });
    // Only a way that fails to end the program lets this fire.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(30000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(mainWindow()->isVisible());
    end(); // what the program does after its event loop
    EXPECT_TRUE(readWholeFile(ini).contains("Delay=17"));
}

INSTANTIATE_TEST_SUITE_P(Ways, ProgramEnd, ::testing::Values("Exit", "F10", "CloseBox"));

// Once shown, a window whose frame (as the window manager drew it) the free
// area holds only just goes to the top of it, shrunk where it must be.
TEST(MainWindowPlacement, AWindowTheScreenHoldsOnlyJustGoesToTheTop)
{
    const QRect screen(0, 0, 1280, 800);
    const struct {
        QMargins frame;
        QRect client, placed;
    } cases[] = {{{1, 20, 1, 5}, {8, 68, 1264, 744}, {8, 20, 1264, 744}},
                 {{1, 20, 1, 5}, {40, 48, 1232, 744}, {40, 48, 1232, 744}},
                 {{1, 62, 1, 5}, {40, 48, 1232, 744}, {40, 62, 1232, 733}}};
    for (const auto& c : cases)
        EXPECT_EQ(MainWindow::placeFramed(c.client, c.frame, screen, QSize(600, 400)), c.placed)
            << c.client.y();
}
