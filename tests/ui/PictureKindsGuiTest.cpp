// The kinds beyond JPEG and BMP in the program's windows: drawn in true
// colour (or as stored, by the settings), and never waited on when an entry
// leads to a FIFO. Kinds passed by in an all-pictures run: AllPicturesRunTest.
#include "AppFixture.h"
#include "core/AtomicFile.h"
#include "tests/support/FifoWatchdog.h"
#include "tests/support/KindPictures.h"
#include "ui/effects/EffectPreview.h"
#include "ui/effects/EffectsDialog.h"
#include "ui/settings/SettingsDialog.h"

#include <QCheckBox>

namespace {

class PictureKindsGui : public AppFixture {
protected:
    // A flat Display P3 PNG whose stored value is (200, 100, 50).
    QString p3Png()
    {
        QImage flat(120, 80, QImage::Format_RGB32);
        flat.fill(qRgb(200, 100, 50));
        flat.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
        const QString path = dir.filePath("p3.png");
        writeFileAtomically(path, kinds::encoded(flat, "png"));
        return path;
    }
    static QColor mainImageCentre()
    {
        EXPECT_TRUE(QTest::qWaitFor([] { return mainWindow()->mainImage()->showsDecodedPixels(); }));
        const QImage shot = mainWindow()->mainImage()->grab().toImage();
        return shot.pixelColor(shot.width() / 2, shot.height() / 2);
    }
    static QColor stripCentre() { return mainWindow()->slot(1)->rendition().pixelColor(20, 20); }
    static void setColorManaged(bool on)
    {
        settingsDialog()->findChild<QCheckBox*>("chkColorManaged")->setChecked(on);
        settingsDialog()->applySettings(); // OK
        settle();
    }
};

void expectNear(const QColor& got, QRgb want, const char* where)
{
    EXPECT_NEAR(got.red(), qRed(want), 2) << where;
    EXPECT_NEAR(got.green(), qGreen(want), 2) << where;
    EXPECT_NEAR(got.blue(), qBlue(want), 2) << where;
}

TEST_F(PictureKindsGui, ProfilesAreConvertedWhereDrawnUntilTheSettingSaysNo)
{
    openFiles({p3Png()});
    const QRgb stored = qRgb(200, 100, 50);
    const QRgb shown = kinds::inSrgb(stored, QColorSpace(QColorSpace::DisplayP3));
    ASSERT_NE(shown, stored);
    expectNear(stripCentre(), shown, "strip");
    expectNear(mainImageCentre(), shown, "main image");
    // The effects compute on the stored values, and their preview shows
    // the result converted.
    mainWindow()->mainImage()->setPicture(Picture::loadFromFile(session().entry(1).path));
    effectsDialog()->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(effectsDialog()->preview()->engine().pictureOriginal().toImage().pixel(5, 5), stored);
    const QImage preview = effectsDialog()->preview()->grab().toImage();
    expectNear(preview.pixelColor(preview.width() / 2, preview.height() / 2), shown, "effects preview");
    effectsDialog()->discardEffects();

    setColorManaged(false);
    expectNear(stripCentre(), stored, "strip as stored");
    expectNear(mainImageCentre(), stored, "main image as stored");
    restart();
    EXPECT_FALSE(
        settingsDialog()->findChild<QCheckBox*>("chkColorManaged")->isChecked()); // ColorManaged=0 kept
}

// A reader that waited would be let go by the watchdog with an empty read,
// and tell that instead of the refusal.
TEST_F(PictureKindsGui, AnEntryLeadingToAFifoIsRefusedWithoutWaiting)
{
    const QString pipe = dir.filePath("pipe.jpg");
    {
        const FifoWatchdog watchdog(pipe);
        ASSERT_TRUE(watchdog.made());
        openFiles({testpics::writeBmp(dir.filePath("a.bmp"), 20, 20, 1), pipe});
    }
    EXPECT_EQ(
        fake.errors,
        QStringList{
            QStringLiteral("Cannot open file \"%1\". It is a named pipe, not a regular file.").arg(pipe)});
    EXPECT_EQ(mainWindow()->slot(2)->failure(), fake.errors.value(0)) << "its slot says why";
}

} // namespace
