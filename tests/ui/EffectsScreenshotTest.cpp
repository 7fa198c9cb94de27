// The effects dialog, for a person to look at. Runs only when asked for:
// PV_SCREENSHOT_DIR (under a real X server).
#include "tests/ui/AppFixture.h"

#include "ui/effects/EffectsDialog.h"
#include "ui/effects/EffectPreview.h"

#include <QDir>
#include <QListWidget>
#include <QScreen>
#include <QSlider>
#include <QTabBar>
#include <QTimer>

using EffectsScreenshot = AppFixture;

TEST_F(EffectsScreenshot, DialogOverTheDemoCollection)
{
    const QString shots = qEnvironmentVariable("PV_SCREENSHOT_DIR");
    if (shots.isEmpty())
        GTEST_SKIP() << "set PV_SCREENSHOT_DIR to take screenshots";
    openPath(QStringLiteral(PV_BINARY_DIR "/demo/Demo.pvx"));
    ASSERT_TRUE(fake.errors.isEmpty()) << fake.errors.join(QLatin1Char('\n')).toStdString();
    QTest::keyClick(mainWindow(), Qt::Key_Down);
    mainWindow()->selectSlot(2);
    bool saved = false;
    QTimer::singleShot(0, [&] {
        effectsDialog()->ContrastBar->setValue(60);
        effectsDialog()->BrightBar->setValue(-30);
        QTest::qWait(600);
        saved = mainWindow()->screen()->grabWindow(0).save(QDir(shots).filePath(QStringLiteral("effects.png")));
        effectsDialog()->ListEffects->setCurrentRow(2);
        effectsDialog()->BlurBar->setValue(4);
        QTest::qWait(400);
        mainWindow()->screen()->grabWindow(0).save(QDir(shots).filePath(QStringLiteral("effects-page3.png")));
        effectsDialog()->TabControl1->setCurrentIndex(1);
        effectsDialog()->RizeBar->setValue(90);
        QTest::qWait(400);
        mainWindow()->screen()->grabWindow(0).save(QDir(shots).filePath(QStringLiteral("effects-other.png")));
        effectsDialog()->discardEffects();
    });
    mainWindow()->showEffects();
    EXPECT_TRUE(saved);
}

// Pixelate 20 on a large photo: the reduced stand-in shown at once, then
// the full-resolution result that OK writes.
TEST_F(EffectsScreenshot, PixelateOnALargePhotoBeforeAndAfterTheExactRender)
{
    const QString shots = qEnvironmentVariable("PV_SCREENSHOT_DIR");
    if (shots.isEmpty())
        GTEST_SKIP() << "set PV_SCREENSHOT_DIR to take screenshots";
    const QImage photo(QStringLiteral(PV_CORPUS_DIR "/jpeg/testorig.jpg"));
    ASSERT_FALSE(photo.isNull());
    const QString big = dir.filePath(QStringLiteral("large.bmp"));
    ASSERT_TRUE(photo.scaled(3200, 2100, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(big, "BMP"));
    writeCollection(dir.filePath(QStringLiteral("large.pvx")), {{big, QStringLiteral("large photo")}});
    openPath(dir.filePath(QStringLiteral("large.pvx")));
    mainWindow()->Image1()->setPicture(mainWindow()->slot(1)->picture());
    effectsDialog()->show();
    ASSERT_TRUE(QTest::qWaitFor([] { return !effectsDialog()->ImgPreview->shownScaled().isNull(); }, 60000));
    effectsDialog()->ListEffects->setCurrentRow(2);
    effectsDialog()->MosaicBar->setValue(20);
    const QDir out(shots);
    EXPECT_TRUE(effectsDialog()->grab().save(out.filePath(QStringLiteral("pixelate20-before.png"))));
    ASSERT_TRUE(QTest::qWaitFor([] { return !effectsDialog()->ImgPreview->shownScaled().isNull(); }, 60000));
    EXPECT_TRUE(effectsDialog()->grab().save(out.filePath(QStringLiteral("pixelate20-after.png"))));
    effectsDialog()->discardEffects();
}
