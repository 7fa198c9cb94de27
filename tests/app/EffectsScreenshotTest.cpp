// The effects dialog on a demo picture, for a person to look at, and the
// preview's time per slider step. Both run only when asked for:
// PV_SCREENSHOT_DIR (under a real X server) and PV_FX_TIMING.
#include "tests/app/AppFixture.h"

#include "effects/Effects.h"
#include "effects/OrImageWidget.h"

#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QScreen>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <cstdio>

using EffectsScreenshot = AppFixture;

TEST_F(EffectsScreenshot, DialogOverTheDemoCollection)
{
    const QString shots = qEnvironmentVariable("PV_SCREENSHOT_DIR");
    if (shots.isEmpty())
        GTEST_SKIP() << "set PV_SCREENSHOT_DIR to take screenshots";
    openPath(QStringLiteral(PV_BINARY_DIR "/demo/Demo.pvx"));
    ASSERT_TRUE(fake.errors.isEmpty()) << fake.errors.join(QLatin1Char('\n')).toStdString();
    QTest::keyClick(frmMain, Qt::Key_Down);
    frmMain->ImageClick(2);
    bool saved = false;
    QTimer::singleShot(0, [&] {
        frmEffects->ContrastBar->setValue(60);
        frmEffects->BrightBar->setValue(-30);
        QTest::qWait(600);
        saved = frmMain->screen()->grabWindow(0).save(QDir(shots).filePath(QStringLiteral("effects.png")));
        frmEffects->ListEffects->setCurrentRow(2);
        frmEffects->BlurBar->setValue(4);
        QTest::qWait(400);
        frmMain->screen()->grabWindow(0).save(QDir(shots).filePath(QStringLiteral("effects-page3.png")));
        frmEffects->TabControl1->setCurrentIndex(1);
        frmEffects->RizeBar->setValue(90);
        QTest::qWait(400);
        frmMain->screen()->grabWindow(0).save(QDir(shots).filePath(QStringLiteral("effects-other.png")));
        frmEffects->btnCloseClick();
    });
    frmMain->mnuEffectsClick();
    EXPECT_TRUE(saved);
}

namespace {
double msPerStep(QSlider* bar, int steps)
{
    QElapsedTimer t;
    t.start();
    for (int v = 1; v <= steps; ++v)
        bar->setValue(v);
    const double ms = double(t.nsecsElapsed()) / 1e6 / steps;
    bar->setValue(0);
    return ms;
}
} // namespace

TEST_F(EffectsScreenshot, PreviewTimePerSliderStep)
{
    if (qEnvironmentVariableIsEmpty("PV_FX_TIMING"))
        GTEST_SKIP() << "set PV_FX_TIMING to measure";
    const QString big = testpics::writeBmp(dir.filePath("big.bmp"), 4000, 3000, 1);
    QList<CollectionEntry> entries = {{big, "12 MP"}};
    writeCollection(dir.filePath("big.pvx"), entries);
    openPath(dir.filePath("big.pvx"));
    frmMain->Image1()->setPicture(frmMain->slot(1)->picture());
    frmEffects->show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(frmEffects->previewReduced());
    const Bitmap24& preview = frmEffects->ImgPreview->engine().PictureOriginal();
    std::printf("preview %dx%d of 4000x3000\n", preview.width(), preview.height());
    std::printf("reduced: brightness %.2f ms/step, gaussian blur %.2f ms/step, split blur %.2f ms/step\n",
                msPerStep(frmEffects->BrightBar, 20), msPerStep(frmEffects->BlurBar, 10),
                msPerStep(frmEffects->SplitBlurBar, 10));

    // The same steps on the full-size picture, as an unreduced preview would.
    OrImageEngine full;
    full.setPictureOriginal(frmMain->slot(1)->picture());
    QElapsedTimer t;
    t.start();
    for (int v = 1; v <= 5; ++v)
        full.setPicBrightness(v);
    const double bright = double(t.nsecsElapsed()) / 1e6 / 5;
    t.restart();
    for (int v = 1; v <= 3; ++v)
        full.setPicGaussianBlur(v);
    std::printf("full size: brightness %.2f ms/step, gaussian blur %.2f ms/step\n", bright,
                double(t.nsecsElapsed()) / 1e6 / 3);
    t.restart();
    frmEffects->BrightBar->setValue(40);
    frmEffects->butApplyClick();
    std::printf("OK on the full-size picture: %.0f ms\n", double(t.nsecsElapsed()) / 1e6);
    EXPECT_TRUE(fake.errors.isEmpty());
}
