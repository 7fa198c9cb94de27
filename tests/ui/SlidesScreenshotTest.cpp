// Screenshots of the settings dialog, the comments window and the German
// interface for a person to look at. Runs only when PV_SCREENSHOT_DIR is set
// (under a real X server with a window manager), else it is skipped.
#include "tests/ui/AppFixture.h"

#include "ui/common/CommentsWindow.h"
#include "ui/settings/SettingsDialog.h"

#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTabBar>

namespace {

QString shotDir()
{
    return qEnvironmentVariable("PV_SCREENSHOT_DIR");
}

void saveScreen(const QString& name)
{
    QTest::qWait(600);
    const QPixmap shot = mainWindow()->screen()->grabWindow(0);
    ASSERT_TRUE(shot.save(QDir(shotDir()).filePath(name)));
}

const QString Demo = QStringLiteral(PV_BINARY_DIR "/demo/Demo.pvx");

} // namespace

class SlidesScreenshots : public AppFixture {
protected:
    void SetUp() override
    {
        if (shotDir().isEmpty())
            GTEST_SKIP() << "set PV_SCREENSHOT_DIR to take screenshots";
        AppFixture::SetUp();
    }
    void startWith(const QByteArray& ini)
    {
        destroyWindows();
        QFile f(dir.filePath(QStringLiteral("pictavo.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
        f.close();
        createWindows({});
        mainWindow()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(mainWindow()));
        openPath(Demo);
        ASSERT_TRUE(fake.errors.isEmpty()) << fake.errors.join(QLatin1Char('\n')).toStdString();
    }
};

TEST_F(SlidesScreenshots, SettingsPages)
{
    startWith("[Settings]\nAlpha=180\nPreviewsColor=15793151\n[SlideShow]\nDelay=3\nSound=" PV_BINARY_DIR
              "/sounds/Chime.wav\n");
    mainWindow()->showSettings();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settingsDialog()));
    saveScreen(QStringLiteral("settings-main.png"));
    settingsDialog()->findChild<QTabBar*>(QStringLiteral("TabControl1"))->setCurrentIndex(1);
    saveScreen(QStringLiteral("settings-slideshow.png"));
}

TEST_F(SlidesScreenshots, CommentsWindowOverTheMainWindow)
{
    startWith("[Settings]\nFont=DejaVu Serif\nFontSize=12\nFontColor=8388608\nFontStyle=2\nAlpha=215\n");
    mainWindow()->toggleFollowMode();
    for (int i = 0; i < 2; ++i)
        QTest::keyClick(mainWindow(), Qt::Key_Down);
    mainWindow()->toggleComments();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(commentsWindow()));
    saveScreen(QStringLiteral("comments.png"));
}

TEST_F(SlidesScreenshots, MainWindowInGerman)
{
    startWith("[Settings]\nLanguage=" PV_BINARY_DIR "/lang/Deutsch.pvl\n");
    QTest::keyClick(mainWindow(), Qt::Key_Return);
    saveScreen(QStringLiteral("main-german.png"));
}
