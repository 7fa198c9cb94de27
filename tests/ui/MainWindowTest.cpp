#include "tests/ui/AppFixture.h"

#include "core/AtomicFile.h"
#include "ui/common/CommentsWindow.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/settings/SettingsDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QWindow>

using MainWindowTest = AppFixture;

TEST_F(MainWindowTest, EverySizeChangeLaysOutAsManySlotsAsFitUpToTenAndKeepsTheShownEntry)
{
    openPath(collectionOf(12));
    mainWindow()->toggleFollowMode();
    for (int i = 0; i < 3; ++i)
        key(Qt::Key_Down); // the third scrolls the strip
    ASSERT_TRUE(shows(4));
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
    ASSERT_TRUE(QFile::remove(session().entry(4).FileName));
    mainWindow()->toggleFollowMode();
    QTest::mouseClick(mainWindow()->imageArea()->viewport(), Qt::LeftButton);
    ASSERT_TRUE(mainWindow()->imageArea()->hasFocus());
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(mainWindow()->imageArea(), Qt::Key_Space);
    settle();
    EXPECT_EQ(session().currentEntry(), 4);
    EXPECT_EQ(fake.errors.size(), 1);
}

// The next start comes back where this run ended, within the screen it
// finds; and with FitPictures an open and a slot click show the picture fitted.
TEST_F(MainWindowTest, ARestartComesBackWhereTheLastRunEndedWithinTheScreen)
{
    const QString path = collectionOf(12);
    openPath(path);
    key(Qt::Key_End);
    key(Qt::Key_Left);
    mainWindow()->toggleFollowMode();
    mainWindow()->setGeometry(QRect(40, 50, 640, 480));
    restart();
    EXPECT_EQ(session().collectionFileName(), path);
    EXPECT_TRUE(shows(11));
    EXPECT_TRUE(session().followsCursor());
    EXPECT_EQ(mainWindow()->geometry(), QRect(40, 50, 640, 480));
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

// Exit, F10 and the window's close box each end the program, and its end
// writes the settings.
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
