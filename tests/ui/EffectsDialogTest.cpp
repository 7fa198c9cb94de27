// The effects dialog: its controls, their interplay, OK for one picture and
// for the whole collection, Cancel, the keys and the progress of long work.
#include "AppFixture.h"

#include "effects/EffectSettings.h"
#include "ui/effects/EffectsDialog.h"
#include "effects/FullSizeRender.h"
#include "ui/effects/EffectPreview.h"
#include "core/AtomicFile.h"
#include "graphics/BmpCodec.h"
#include "graphics/JpegCodec.h"
#include "ui/common/UiTextWidgets.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestPictures.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

namespace {

} // namespace

class EffectsDialogTest : public AppFixture {
protected:
    EffectsDialog& d() { return *effectsDialog(); }
    EffectRenderer& fx() { return effectsDialog()->ImgPreview->engine(); }
    // Shows the dialog the way the Effects command prepares it, without
    // its modal loop.
    void showDialog()
    {
        mainWindow()->Image1()->setPicture(mainWindow()->slot(session().currentSlot())->picture());
        d().show();
        QCoreApplication::processEvents();
    }
    QString openFiles(const QStringList& files, int repeatFirst = 0)
    {
        QList<CollectionEntry> entries;
        for (const QString& f : files)
            entries.append({f, QFileInfo(f).fileName()});
        for (int i = 0; i < repeatFirst; ++i)
            entries.append(entries.first());
        const QString path = dir.filePath(QStringLiteral("fx.pvx"));
        writeCollection(path, entries);
        openPath(path);
        return path;
    }
    Bitmap24 fileBitmap(const QString& path) { return Picture::loadFromFile(path).toBitmap24(); }
    void expectAllZero()
    {
        for (QSlider* s : {d().ContrastBar, d().BrightBar, d().SaturationBar, d().MosaicBar, d().SplitBlurBar,
                           d().BlurBar, d().AntiBar, d().TraceBar, d().RizeBar, d().NoiseBar})
            EXPECT_EQ(s->value(), 0) << s->objectName().toStdString();
        EXPECT_FALSE(d().chkEmboss->isChecked());
        for (int i = 0; i < EffectPropertyCount; ++i)
            EXPECT_EQ(fx().property(EffectProperty(i)), 0) << effectPropertyName(EffectProperty(i));
        for (QLabel* l : {d().lblContrast, d().lblBright, d().lblSaturation, d().lblMosaic, d().lblSplitBlur,
                          d().lblBlur, d().lblAnti, d().lblTrace})
            EXPECT_EQ(l->text(), QStringLiteral("0")) << l->objectName().toStdString();
    }
};

TEST_F(EffectsDialogTest, LayoutNamesAndRanges)
{
    EXPECT_EQ(d().size(), QSize(481, 358));
    EXPECT_EQ(d().windowTitle(), QStringLiteral("Image Effects..."));
    EXPECT_TRUE(d().isModal());
    EXPECT_EQ(d().ListEffects->geometry(), QRect(8, 8, 169, 313));
    ASSERT_EQ(d().ListEffects->count(), 3);
    EXPECT_EQ(d().ListEffects->item(0)->text(), QStringLiteral("Brightness & Contrast"));
    EXPECT_EQ(d().ListEffects->item(2)->text(), QStringLiteral("Effects"));
    EXPECT_EQ(d().ListEffects->currentRow(), 0);
    EXPECT_EQ(d().ImgPreview->geometry(), QRect(187, 174, 283, 145));
    EXPECT_TRUE(fx().Stretch());
    EXPECT_EQ(d().Shape1->geometry(), QRect(184, 172, 289, 149));
    EXPECT_EQ(d().CheckAll->geometry(), QRect(9, 329, 288, 22));
    EXPECT_FALSE(d().CheckAll->isChecked());
    EXPECT_EQ(d().butApply->text(), QStringLiteral("   OK"));
    EXPECT_EQ(d().butApply->geometry(), QRect(320, 328, 73, 22));
    EXPECT_EQ(d().btnClose->geometry(), QRect(400, 328, 73, 22));
    EXPECT_EQ(d().TabControl1->geometry(), QRect(2, 2, 286, 158));
    EXPECT_EQ(d().ScrollBox1->geometry(), QRect(-2, 25, 285, 131));
    EXPECT_EQ(d().ScrollBox1->widget()->height(), 303);
    EXPECT_TRUE(d().rPosterize->isChecked());
    for (const char* name :
         {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label7", "Label8", "Label9", "Shape2",
          "Shape3", "Shape4", "Panel0", "Panel1", "Panel2", "lblMosaic", "lblTrace"})
        EXPECT_NE(d().findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;

    struct Range {
        QSlider* bar;
        int lo, hi, tick;
    };
    for (const Range& r :
         {Range{d().ContrastBar, -255, 255, 30}, Range{d().BrightBar, -255, 255, 30},
          Range{d().SaturationBar, -255, 255, 30}, Range{d().MosaicBar, 0, 50, 2},
          Range{d().SplitBlurBar, 0, 255, 10}, Range{d().BlurBar, 0, 50, 2}, Range{d().AntiBar, 0, 50, 2},
          Range{d().TraceBar, 0, 2, 1}, Range{d().RizeBar, 0, 255, 15}, Range{d().NoiseBar, 0, 255, 15}}) {
        EXPECT_EQ(r.bar->minimum(), r.lo) << r.bar->objectName().toStdString();
        EXPECT_EQ(r.bar->maximum(), r.hi) << r.bar->objectName().toStdString();
        EXPECT_EQ(r.bar->tickInterval(), r.tick) << r.bar->objectName().toStdString();
        EXPECT_EQ(r.bar->tickPosition(), QSlider::TicksAbove);
    }
    // The zero marks sit over the signed sliders' centres.
    EXPECT_EQ(d().Shape2->geometry().center().x(), d().ContrastBar->geometry().center().x());
    EXPECT_EQ(d().Shape3->geometry().bottom() + 1, d().SaturationBar->y());
}

TEST_F(EffectsDialogTest, TheLanguageLoaderReachesEveryTextByName)
{
    WidgetTextSink sink({effectsDialog()});
    int reached = 0;
    for (const UiTextEntry& entry : uiTextTable()) {
        for (const UiTarget& t : entry.targets) {
            if (QLatin1String(t.window) != QLatin1String("TfrmEffects"))
                continue;
            // The built-in English is what the dialog shows before any file.
            EXPECT_EQ(sink.text(t), std::optional<QString>(QString::fromLatin1(entry.english)))
                << entry.number;
            EXPECT_TRUE(sink.setText(t, QStringLiteral("T%1").arg(entry.number))) << entry.number;
            ++reached;
        }
    }
    EXPECT_EQ(reached, 20);
    EXPECT_EQ(d().CheckAll->text(), QStringLiteral("T32"));
    EXPECT_EQ(d().TabControl1->tabText(1), QStringLiteral("T36"));
    EXPECT_EQ(d().ListEffects->item(2)->text(), QStringLiteral("T35"));
}

TEST_F(EffectsDialogTest, ListChoosesThePageAndTheTabUncoversTheOtherGroup)
{
    showDialog();
    EXPECT_TRUE(d().Panel0->isVisible());
    EXPECT_FALSE(d().Panel1->isVisible());
    d().ListEffects->setCurrentRow(1);
    EXPECT_TRUE(d().Panel1->isVisible());
    EXPECT_FALSE(d().Panel0->isVisible());
    QTest::keyClick(d().ListEffects, Qt::Key_Down);
    EXPECT_TRUE(d().Panel2->isVisible());
    EXPECT_FALSE(d().Panel1->isVisible());
    EXPECT_TRUE(d().ScrollBox1->isVisible());
    d().TabControl1->setCurrentIndex(1);
    EXPECT_FALSE(d().ScrollBox1->isVisible());
    EXPECT_TRUE(d().RizeBar->isVisible());
    d().TabControl1->setCurrentIndex(0);
    EXPECT_TRUE(d().ScrollBox1->isVisible());
    d().discardEffects();
}

TEST_F(EffectsDialogTest, SliderInterplay)
{
    openPath(collectionOf(1));
    showDialog();
    // Independent sliders keep each other.
    d().ContrastBar->setValue(60);
    d().BrightBar->setValue(-20);
    d().SaturationBar->setValue(100);
    d().NoiseBar->setValue(30);
    EXPECT_EQ(fx().PicContrast(), 60);
    EXPECT_EQ(fx().PicBrightness(), -20);
    EXPECT_EQ(fx().PicSaturation(), 100);
    EXPECT_EQ(fx().PicColorNoise(), 30);
    EXPECT_EQ(d().lblBright->text(), QStringLiteral("-20"));

    // Emboss clears Pixelate.
    d().MosaicBar->setValue(10);
    EXPECT_EQ(fx().PicMosaic(), 10);
    EXPECT_EQ(d().lblMosaic->text(), QStringLiteral("10"));
    d().chkEmboss->setChecked(true);
    EXPECT_TRUE(fx().PicEmboss());
    EXPECT_EQ(d().MosaicBar->value(), 0);
    EXPECT_EQ(fx().PicMosaic(), 0);
    EXPECT_EQ(d().lblMosaic->text(), QStringLiteral("0"));

    // Split Blur clears Gaussian Blur; Emboss was cleared already by Blur.
    d().BlurBar->setValue(7);
    EXPECT_FALSE(d().chkEmboss->isChecked());
    EXPECT_FALSE(fx().PicEmboss());
    d().SplitBlurBar->setValue(5);
    EXPECT_EQ(d().SplitBlurBar->value(), 5);
    EXPECT_EQ(fx().PicSplitBlur(), 5);
    EXPECT_EQ(d().BlurBar->value(), 0);
    EXPECT_EQ(fx().PicGaussianBlur(), 0);
    EXPECT_EQ(d().lblBlur->text(), QStringLiteral("0"));
    EXPECT_EQ(d().lblSplitBlur->text(), QStringLiteral("5"));

    // Unticking Emboss only clears Emboss.
    d().chkEmboss->setChecked(true);
    d().chkEmboss->setChecked(false);
    EXPECT_FALSE(fx().PicEmboss());
    EXPECT_EQ(d().SplitBlurBar->value(), 0);

    // Posterize 100, then Solorize takes the amount over.
    d().RizeBar->setValue(100);
    EXPECT_EQ(fx().PicPosterize(), 100);
    d().rSolorize->setChecked(true);
    EXPECT_EQ(fx().PicSolorize(), 100);
    EXPECT_EQ(fx().PicPosterize(), 0);
    d().RizeBar->setValue(40);
    EXPECT_EQ(fx().PicSolorize(), 40);
    EXPECT_EQ(fx().PicPosterize(), 0);
    d().rPosterize->setChecked(true);
    EXPECT_EQ(fx().PicPosterize(), 40);
    EXPECT_EQ(fx().PicSolorize(), 0);
    // The independent ones are still what they were.
    EXPECT_EQ(fx().PicContrast(), 60);
    EXPECT_EQ(fx().PicColorNoise(), 30);
    d().discardEffects();
}

TEST_F(EffectsDialogTest, ActivationPreviewsTheMainImagesPicture)
{
    openPath(collectionOf(2));
    mainWindow()->selectSlot(2);
    d().BrightBar->setValue(25);
    showDialog();
    const Bitmap24 original = mainWindow()->slot(2)->picture().toBitmap24();
    EXPECT_EQ(fx().PictureOriginal(), original);
    EXPECT_EQ(fx().Picture(), testpics::brighter(original, 25)); // rendered with the values set
    d().discardEffects();
}

TEST_F(EffectsDialogTest, OkWritesTheCurrentPictureAndRecordsUndo)
{
    openPath(collectionOf(3));
    mainWindow()->selectSlot(2);
    const QString path = session().entry(2).FileName; // a bitmap
    const Bitmap24 start = fileBitmap(path);
    const Picture before = mainWindow()->Image1()->picture();
    showDialog();
    d().BrightBar->setValue(50);
    QTest::mouseClick(d().butApply, Qt::LeftButton);
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join('\n').toStdString();
    EXPECT_FALSE(d().isVisible());
    EXPECT_EQ(fileBitmap(path), testpics::brighter(start, 50));
    EXPECT_TRUE(session().undoRecord().picture.sharesDataWith(before));
    EXPECT_EQ(session().undoRecord().slot, 2);
    EXPECT_EQ(session().undoRecord().firstIndex, 0);
    EXPECT_TRUE(enabled("butUndo"));
    EXPECT_TRUE(enabled("mnuUndo1"));
    EXPECT_EQ(mainWindow()->Image1()->picture().toBitmap24(), testpics::brighter(start, 50));
    EXPECT_TRUE(mainWindow()->slot(2)->picture().sharesDataWith(mainWindow()->Image1()->picture()));
    expectAllZero();
}

TEST_F(EffectsDialogTest, OkWithEveryControlAtZeroStillRewrites)
{
    const QString jpg = testpics::writeJpeg(dir.filePath("still.jpg"), 90, 60, 3);
    const QString bmp = dir.filePath("pal8.bmp");
    ASSERT_TRUE(QFile::copy(PV_CORPUS_DIR "/bmpsuite/g/pal8.bmp", bmp));
    QFile::setPermissions(bmp, QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray jpgBefore = fileBytes(jpg);
    const Bitmap24 bmpPixels = fileBitmap(bmp);
    openFiles({jpg, bmp});

    showDialog();
    d().applyEffects();
    const QByteArray jpgAfter = fileBytes(jpg);
    EXPECT_NE(jpgAfter, jpgBefore); // encoded again at quality 90
    EXPECT_TRUE(jpgAfter.startsWith("\xFF\xD8"));

    mainWindow()->selectSlot(2);
    showDialog();
    d().applyEffects();
    const QByteArray bmpAfter = fileBytes(bmp);
    EXPECT_EQ(bmpAfter.at(28), 24);
    EXPECT_EQ(decodeBmp(bmpAfter), bmpPixels);
    EXPECT_TRUE(fake.errors.isEmpty());
}

TEST_F(EffectsDialogTest, AFailedWriteChangesNothingAndKeepsTheDialogOpen)
{
    openPath(collectionOf(2));
    const QString path = session().entry(1).FileName;
    const QByteArray before = fileBytes(path);
    const Picture held = mainWindow()->Image1()->picture();
    showDialog();
    d().ContrastBar->setValue(90);
    setAtomicWriteFault(AtomicWriteFault::Write, ENOSPC);
    QTest::keyClick(d().ContrastBar, Qt::Key_Return);
    setAtomicWriteFault(AtomicWriteFault::None);
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors[0].startsWith(QStringLiteral("Cannot create file \"%1\".").arg(path)));
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_TRUE(d().isVisible());
    EXPECT_EQ(d().ContrastBar->value(), 90);
    EXPECT_FALSE(enabled("mnuUndo"));
    EXPECT_TRUE(session().undoRecord().picture.isEmpty());
    EXPECT_TRUE(mainWindow()->Image1()->picture().sharesDataWith(held));
    EXPECT_TRUE(mainWindow()->slot(1)->picture().sharesDataWith(held));
    d().discardEffects();
}

TEST_F(EffectsDialogTest, CancelAndEscWriteNothingAndStartTheNextShowingClean)
{
    openPath(collectionOf(2));
    const QString path = session().entry(1).FileName;
    const QByteArray before = fileBytes(path);
    showDialog();
    d().BrightBar->setValue(80);
    d().TraceBar->setValue(2);
    d().rSolorize->setChecked(true);
    d().RizeBar->setValue(30);
    QTest::keyClick(d().ListEffects, Qt::Key_Escape);
    EXPECT_FALSE(d().isVisible());
    EXPECT_EQ(fileBytes(path), before);
    expectAllZero();
    EXPECT_TRUE(d().rSolorize->isChecked()); // the radio choice stays
    EXPECT_EQ(fx().Picture(), fx().PictureOriginal());
    EXPECT_FALSE(enabled("mnuUndo"));

    showDialog();
    d().NoiseBar->setValue(50);
    QTest::mouseClick(d().btnClose, Qt::LeftButton);
    EXPECT_FALSE(d().isVisible());
    EXPECT_EQ(fileBytes(path), before);
    expectAllZero();
}

TEST_F(EffectsDialogTest, EnterRunsOkThroughTheModalCommand)
{
    openPath(collectionOf(1));
    const QString path = session().entry(1).FileName;
    const QByteArray before = fileBytes(path);
    QTimer::singleShot(0, [] {
        effectsDialog()->SaturationBar->setValue(-255);
        QTest::keyClick(effectsDialog()->SaturationBar, Qt::Key_Enter);
        if (effectsDialog()->isVisible())
            effectsDialog()->done(QDialog::Rejected);
    });
    key(Qt::Key_E, Qt::ControlModifier);
    EXPECT_NE(fileBytes(path), before);
    EXPECT_TRUE(enabled("mnuUndo"));
    // Saturation -255 leaves every pixel grey (up to JPEG's rounding).
    const Bitmap24 b = fileBitmap(path);
    const std::uint8_t* p = b.scanLine(b.height() / 2) + 3 * (b.width() / 2);
    EXPECT_LE(std::abs(p[0] - p[2]), 6);
}

TEST_F(EffectsDialogTest, AllPicturesWritesEveryEntryAndRefreshesTheStrip)
{
    const QString a = testpics::writeBmp(dir.filePath("a.bmp"), 40, 30, 1);
    const QString b = testpics::writeBmp(dir.filePath("b.bmp"), 40, 30, 2);
    const Bitmap24 aStart = fileBitmap(a), bStart = fileBitmap(b);
    openFiles({a, b}, 1); // a, b, a
    key(Qt::Key_Down);
    mainWindow()->selectSlot(2);
    showDialog();
    d().CheckAll->setChecked(true);
    d().BrightBar->setValue(10);
    d().applyEffects();
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join('\n').toStdString();
    // Listed twice, read back changed the second time: the effect twice.
    EXPECT_EQ(fileBitmap(a), testpics::brighter(aStart, 20));
    EXPECT_EQ(fileBitmap(b), testpics::brighter(bStart, 10));
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(mainWindow()->slot(i)->picture().toBitmap24(), fileBitmap(session().entry(i).FileName)) << i;
    // The main image shows the current slot's picture; undo stays off.
    EXPECT_TRUE(mainWindow()->Image1()->picture().sharesDataWith(mainWindow()->slot(2)->picture()));
    EXPECT_EQ(session().currentSlot(), 2);
    EXPECT_FALSE(enabled("mnuUndo"));
    EXPECT_TRUE(d().CheckAll->isChecked()); // kept for the next showing
    expectAllZero();
}

TEST_F(EffectsDialogTest, CancellingTheProgressStopsBetweenPictures)
{
    const QString c = collectionOf(5);
    openPath(c);
    QList<QByteArray> before;
    for (int e = 1; e <= 5; ++e)
        before << fileBytes(session().entry(e).FileName);
    QStringList labels;
    d().setProgressObserver([&](int done, int total) {
        EXPECT_EQ(total, 5);
        ASSERT_NE(d().progressDialog(), nullptr);
        labels << d().progressDialog()->labelText();
        if (done == 2)
            d().progressDialog()->cancel();
    });
    showDialog();
    d().CheckAll->setChecked(true);
    d().BrightBar->setValue(-40);
    d().applyEffects();
    d().setProgressObserver({});
    EXPECT_EQ(labels, QStringList({"1 / 5", "2 / 5"}));
    EXPECT_NE(fileBytes(session().entry(1).FileName), before[0]);
    EXPECT_NE(fileBytes(session().entry(2).FileName), before[1]);
    for (int e = 3; e <= 5; ++e)
        EXPECT_EQ(fileBytes(session().entry(e).FileName), before[e - 1]) << e;
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(mainWindow()->slot(i)->picture().toBitmap24(), fileBitmap(session().entry(i).FileName)) << i;
    EXPECT_EQ(d().progressDialog(), nullptr);
    d().CheckAll->setChecked(false);
}

TEST_F(EffectsDialogTest, AFailureOnTheAllPicturesPathKeepsWhatWasWritten)
{
    const QString a = testpics::writeBmp(dir.filePath("a.bmp"), 20, 20, 1);
    const QString b = testpics::writeBmp(dir.filePath("b.bmp"), 20, 20, 2);
    const QString c = testpics::writeBmp(dir.filePath("c.bmp"), 20, 20, 3);
    const Bitmap24 aStart = fileBitmap(a);
    const QByteArray cBefore = fileBytes(c);
    openFiles({a, b, c});
    QFile::remove(b); // gone after opening
    showDialog();
    d().CheckAll->setChecked(true);
    d().BrightBar->setValue(5);
    QTest::mouseClick(d().butApply, Qt::LeftButton);
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors[0].startsWith(QStringLiteral("Cannot open file \"%1\".").arg(b)))
        << fake.errors[0].toStdString();
    EXPECT_EQ(fileBytes(c), cBefore);
    EXPECT_EQ(fileBitmap(a), testpics::brighter(aStart, 5));
    EXPECT_TRUE(d().isVisible());
    EXPECT_EQ(d().BrightBar->value(), 5);
    d().CheckAll->setChecked(false);
    d().discardEffects();
}

// Above the reduction threshold the preview ends with the full-resolution
// result scaled to the box: the very pixels OK writes, including its noise.
// OK pressed before that render arrives waits for it or makes it.
struct ExactCase {
    const char* bar;
    int value;
    bool waitForPreview = true;
};

class ExactPreviewTest : public EffectsDialogTest, public ::testing::WithParamInterface<ExactCase> {};

TEST_P(ExactPreviewTest, PreviewShowsWhatOkWrites)
{
    const QString big = testpics::writeBmp(dir.filePath("big.bmp"), 1600, 1200, 6);
    const Bitmap24 start = fileBitmap(big);
    openFiles({big});
    showDialog();
    ASSERT_TRUE(d().previewReduced());
    auto* bar = d().findChild<QSlider*>(QString::fromLatin1(GetParam().bar));
    ASSERT_NE(bar, nullptr);
    bar->setValue(GetParam().value);
    const bool wait = GetParam().waitForPreview;
    if (wait) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d().ImgPreview->shownScaled().isNull(); }, 60000));
    }
    const QImage shown = d().ImgPreview->grab().toImage().convertToFormat(QImage::Format_RGB32);

    EffectRenderer fresh;
    applyEffectSettings(fresh, d().currentSettings());
    fresh.setPictureOriginal(start);
    d().applyEffects();
    const Bitmap24 written = fileBitmap(big);
    ASSERT_EQ(written.width(), 1600);
    const QImage want =
        FullSizeRender::scaledTo(written, d().ImgPreview->size()).convertToFormat(QImage::Format_RGB32);
    if (wait) {
        EXPECT_TRUE(shown == want);
    }
    // Blocks and blurs are the full picture's; the noise is a draw of its own.
    if (fresh.PicColorNoise() == 0) {
        EXPECT_EQ(written, fresh.Picture());
    }
}

INSTANTIATE_TEST_SUITE_P(Effects, ExactPreviewTest,
                         ::testing::Values(ExactCase{"MosaicBar", 20}, ExactCase{"BlurBar", 10},
                                           ExactCase{"NoiseBar", 60}, ExactCase{"MosaicBar", 50, false}),
                         [](const auto& info) {
                             return std::string(info.param.bar) + (info.param.waitForPreview ? "" : "AtOnce");
                         });

TEST_F(EffectsDialogTest, AWheelNotchOverAnUnfocusedSliderScrollsInsteadOfChangingIt)
{
    openPath(collectionOf(1));
    showDialog();
    d().ListEffects->setCurrentRow(2);
    d().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d()));
    d().CheckAll->setFocus();
    const QList<QSlider*> bars = {d().ContrastBar,  d().BrightBar, d().SaturationBar, d().MosaicBar,
                                  d().SplitBlurBar, d().BlurBar,   d().AntiBar,       d().TraceBar,
                                  d().RizeBar,      d().NoiseBar};
    auto notch = [](QSlider* bar) {
        const QPointF at(bar->width() / 2.0, bar->height() / 2.0);
        QWheelEvent wheel(at, bar->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(bar, &wheel);
    };
    QScrollBar* page = d().ScrollBox1->verticalScrollBar();
    page->setValue(page->maximum());
    for (QSlider* bar : bars)
        notch(bar);
    expectAllZero();
    EXPECT_LT(page->value(), page->maximum()); // the notches over the group scrolled it

    d().MosaicBar->setFocus();
    ASSERT_TRUE(d().MosaicBar->hasFocus());
    notch(d().MosaicBar);
    EXPECT_NE(d().MosaicBar->value(), 0);
    d().discardEffects();
}

// A current picture that cannot be decoded is told once, and OK writes
// nothing: above all not the picture the preview showed before.
class FailedDecodeTest : public EffectsDialogTest, public ::testing::WithParamInterface<QSize> {};

TEST_P(FailedDecodeTest, OneMessageAndNoWrite)
{
    const QString a = testpics::writeBmp(dir.filePath("a.bmp"), 40, 30, 1);
    const QString b = testpics::writeBmp(dir.filePath("b.bmp"), 40, 30, 2);
    openFiles({a, b});
    mainWindow()->selectSlot(2);
    showDialog();
    d().discardEffects();

    // A JPEG whose header reads but whose Huffman table is bogus: more
    // one-bit codes than there can be.
    QByteArray bad = encodeJpeg(testpics::pattern(GetParam().width(), GetParam().height(), 3), 90);
    const int dht = bad.indexOf("\xFF\xC4");
    ASSERT_GT(dht, 0);
    auto* counts = reinterpret_cast<std::uint8_t*>(bad.data() + dht + 5);
    int moved = 0;
    for (int len = 15; len > 0 && moved < 3; --len) {
        const int take = std::min(3 - moved, int(counts[len]));
        counts[len] = std::uint8_t(counts[len] - take);
        moved += take;
    }
    counts[0] = std::uint8_t(counts[0] + moved);
    const QByteArray aBefore = fileBytes(a);
    mainWindow()->selectSlot(1);
    mainWindow()->Image1()->setPicture(Picture::fromJpegData(bad));
    d().BrightBar->setValue(30);
    d().show();
    QCoreApplication::processEvents();
    QEvent again(QEvent::WindowActivate); // as after the message box closes
    QApplication::sendEvent(&d(), &again);
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors[0].startsWith(QStringLiteral("JPEG error #"))) << fake.errors[0].toStdString();
    EXPECT_TRUE(fx().Picture().isEmpty());

    QTest::keyClick(d().BrightBar, Qt::Key_Return);
    EXPECT_EQ(fake.errors.size(), 1);
    EXPECT_EQ(fileBytes(a), aBefore);
    EXPECT_FALSE(enabled("mnuUndo"));
}

INSTANTIATE_TEST_SUITE_P(Sizes, FailedDecodeTest, ::testing::Values(QSize(64, 48), QSize(1600, 1200)),
                         [](const auto& info) { return std::to_string(info.param.width()); });
