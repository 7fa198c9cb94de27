#include "tests/ui/AppFixture.h"

#include "core/AtomicFile.h"
#include "ui/settings/SettingsDialog.h"

#include <QFile>
#include <QLineEdit>
#include <QTimer>
#include <QWindow>

using MainWindowTest = AppFixture;

TEST_F(MainWindowTest, EverySizeChangeLaysOutAsManySlotsAsFitUpToTenAndShowsSlotOne)
{
    openPath(collectionOf(12));
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    key(Qt::Key_Down); // scrolls the strip
    EXPECT_EQ(mainWindow()->slotCount(), 3);
    mainWindow()->setOuterSize(624, 130 + 520); // a strip of 520: 4 slots
    EXPECT_EQ(mainWindow()->slotCount(), 4);
    EXPECT_TRUE(shows(2));
    mainWindow()->setOuterSize(624, 130 + 519);
    EXPECT_EQ(mainWindow()->slotCount(), 3);
    mainWindow()->setOuterSize(624, 130 + 1600);
    EXPECT_EQ(mainWindow()->slotCount(), 10);
    EXPECT_TRUE(shows(2));
    mainWindow()->setOuterSize(600, 400);
    EXPECT_EQ(mainWindow()->slotCount(), 2);
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
