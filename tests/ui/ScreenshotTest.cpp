// Saves screenshots of the main window for a person to look at. Runs only
// when PV_SCREENSHOT_DIR is set (under a real X server), else it is skipped.
#include "tests/ui/AppFixture.h"

#include <QDir>
#include <QScreen>

namespace {
QString shotDir() { return qEnvironmentVariable("PV_SCREENSHOT_DIR"); }

void saveWindow(const QString& name)
{
    QTest::qWait(300);
    QScreen* screen = mainWindow()->screen();
    const QPixmap shot = screen->grabWindow(0);
    ASSERT_TRUE(shot.save(QDir(shotDir()).filePath(name)));
}
} // namespace

using Screenshots = AppFixture;

TEST_F(Screenshots, DemoCollectionInEachViewMode)
{
    if (shotDir().isEmpty())
        GTEST_SKIP() << "set PV_SCREENSHOT_DIR to take screenshots";
    openPath(QStringLiteral(PV_BINARY_DIR "/demo/Demo.pvx"));
    ASSERT_TRUE(fake.errors.isEmpty()) << fake.errors.join(QLatin1Char('\n')).toStdString();
    // The large picture (entry 5) in each mode.
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(mainWindow(), Qt::Key_Down);
    QTest::keyClick(mainWindow(), Qt::Key_Return);
    saveWindow(QStringLiteral("main-asis.png"));
    mainWindow()->fitCentred();
    saveWindow(QStringLiteral("main-proportional.png"));
    mainWindow()->stretchToFit();
    saveWindow(QStringLiteral("main-stretch.png"));
    mainWindow()->toggleFullScreen();
    saveWindow(QStringLiteral("main-fullscreen.png"));
    mainWindow()->toggleFullScreen();
    saveWindow(QStringLiteral("main-after-fullscreen.png"));
}
