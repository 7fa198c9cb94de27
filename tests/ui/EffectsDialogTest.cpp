// The effects dialog: its controls' interplay, OK for one picture and for
// the whole collection, Cancel, the keys and the progress of long work.
#include "AppFixture.h"

#include "effects/EffectSettings.h"
#include "effects/FullSizeRender.h"
#include "graphics/JpegCodec.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestPictures.h"
#include "tests/support/WriteFaults.h"
#include "ui/effects/EffectPreview.h"
#include "ui/effects/EffectsDialog.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QRadioButton>
#include <QSlider>

class EffectsDialogTest : public AppFixture {
protected:
    EffectsDialog& d() { return *effectsDialog(); }
    template <class W> W* control(const char* name) { return d().findChild<W*>(QString::fromLatin1(name)); }
    QSlider* bar(const char* name) { return control<QSlider>(name); }
    EffectRenderer& fx() { return effectsDialog()->preview()->engine(); }
    // Shows the dialog the way the Effects command prepares it, without
    // its modal loop.
    void showDialog()
    {
        mainWindow()->mainImage()->setPicture(Picture::loadFromFile(
            session().entry(session().currentEntry()).path, session().exifOrientation()));
        d().show();
        QCoreApplication::processEvents();
    }
    void expectAllZero()
    {
        for (QSlider* s : d().findChildren<QSlider*>())
            EXPECT_EQ(s->value(), 0) << s->objectName().toStdString();
        EXPECT_FALSE(control<QCheckBox>("chkEmboss")->isChecked());
        for (int i = 0; i < EffectCount; ++i)
            EXPECT_EQ(fx().value(Effect(i)), 0) << effectInfo(Effect(i)).name;
        EXPECT_EQ(control<QLabel>("lblBright")->text(), QStringLiteral("0"));
    }
};

// One picture, and the ways the dialog ends: OK (button or Enter) writes the
// effect and records the undo, Cancel (button or Esc) writes nothing, a failed
// write keeps the dialog open. An icon is shown with the effect but never
// written, yet OK records the undo as for any picture. Undo puts the old
// picture back.
enum class Finish { Click, Enter, Esc, CloseButton };
struct OneCase {
    const char* name;
    const char* file;
    Finish how;
    bool failWrite;
    bool written, undo;
};

class OnePicture : public EffectsDialogTest, public ::testing::WithParamInterface<OneCase> {};

TEST_P(OnePicture, OkCancelOrAFailedWrite)
{
    const OneCase& c = GetParam();
    const QString path = dir.filePath(QString::fromLatin1(c.file));
    if (path.endsWith(QLatin1String(".webp"))) {
        ASSERT_TRUE(testpics::pattern(40, 30, 1).toImage().save(path, "webp", 100)); // lossless
    } else {
        testpics::writeBmp(path, 40, 30, 1);
    }
    const QByteArray before = fileBytes(path);
    openFiles({testpics::writeBmp(dir.filePath("first.bmp"), 40, 30, 2), path, path});
    mainWindow()->selectSlot(2);
    const Bitmap24 start = fileBitmap(path);
    showDialog();
    bar("BrightBar")->setValue(50);
    control<QRadioButton>("rSolorize")->setChecked(true);
    if (c.failWrite)
        setAtomicWriteFault(AtomicWriteFault::Commit, ENOSPC);
    switch (c.how) {
    case Finish::Click:
        QTest::mouseClick(control<QToolButton>("butApply"), Qt::LeftButton);
        break;
    case Finish::Enter:
        QTest::keyClick(bar("BrightBar"), Qt::Key_Return);
        break;
    case Finish::Esc:
        QTest::keyClick(control<QListWidget>("ListEffects"), Qt::Key_Escape);
        break;
    case Finish::CloseButton:
        QTest::mouseClick(control<QToolButton>("btnClose"), Qt::LeftButton);
        break;
    }
    setAtomicWriteFault(AtomicWriteFault::None);
    const Bitmap24 now = c.written ? testpics::brighter(start, 50) : start;
    EXPECT_EQ(fileBytes(path) != before, c.written);
    EXPECT_EQ(Picture::loadFromFile(path).toBitmap24(), now);
    EXPECT_EQ(mainWindow()->mainImage()->picture().toBitmap24(), now);
    EXPECT_TRUE(slotShowsItsFile(2));
    EXPECT_TRUE(slotShowsItsFile(3)) << "the same file in another slot";
    EXPECT_EQ(enabled("mnuUndo"), c.undo);
    EXPECT_TRUE(control<QRadioButton>("rSolorize")->isChecked()); // the radio choice stays
    if (c.failWrite) {
        ASSERT_EQ(fake.errors.size(), 1);
        EXPECT_TRUE(fake.errors[0].startsWith(QStringLiteral("Cannot create file \"%1\".").arg(path)));
        EXPECT_TRUE(d().isVisible());
        EXPECT_EQ(bar("BrightBar")->value(), 50);
        d().discardEffects();
        return;
    }
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join('\n').toStdString();
    if (path.endsWith(QLatin1String(".webp"))) {
        EXPECT_EQ(fake.infos, QStringList{msg::kindNotChanged(path)});
    }
    EXPECT_FALSE(d().isVisible());
    expectAllZero(); // the next showing starts clean
    EXPECT_EQ(fx().rendered(), fx().pictureOriginal());
    if (!c.undo)
        return;
    action("mnuUndo")->trigger();
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join('\n').toStdString();
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(mainWindow()->mainImage()->picture().toBitmap24(), start);
    EXPECT_FALSE(enabled("mnuUndo"));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, OnePicture,
    ::testing::Values(OneCase{"OkWritesAndCanBeUndone", "b.bmp", Finish::Click, false, true, true},
                      OneCase{"EnterIsOk", "b.bmp", Finish::Enter, false, true, true},
                      OneCase{"EscWritesNothing", "b.bmp", Finish::Esc, false, false, false},
                      OneCase{"CancelWritesNothing", "b.bmp", Finish::CloseButton, false, false, false},
                      OneCase{"AFailedWriteKeepsTheDialogOpen", "b.bmp", Finish::Enter, true, false, false},
                      OneCase{"AWebPIsShownButNotChanged", "b.webp", Finish::Click, false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// All pictures: five files, the first listed again at the end, the strip
// scrolled. Every entry is written in order (the one listed twice gets the
// effect twice); cancelling the progress stops between two pictures; a
// write that fails stops the run with one message. The status bar tells
// how many were written, the strip shows what the files hold, and Undo puts
// back every file the run wrote. Unreadable pictures skipped, and the run's
// other choices: AllPicturesRunTest; its questions and Undo record:
// SessionRunTest.
enum class Stop { None, Cancel, Unwritable };
struct AllCase {
    const char* name;
    Stop stop;
    int done; // entries written
    const char* message;
};

class AllPictures : public EffectsDialogTest, public ::testing::WithParamInterface<AllCase> {};

TEST_P(AllPictures, WriteInOrderUntilDoneOrStopped)
{
    const AllCase& c = GetParam();
    QStringList files;
    QList<Bitmap24> start;
    for (int i = 1; i <= 5; ++i) {
        files << testpics::writeBmp(dir.filePath(QStringLiteral("%1.bmp").arg(i)), 20, 20, i);
        start << fileBitmap(files.last());
    }
    openFiles(files + QStringList{files[0]});
    for (int k = 0; k < 5; ++k)
        key(Qt::Key_Down);
    ASSERT_GT(session().strip().firstIndex(), 0);
    QStringList labels;
    d().setProgressObserver([&](int done, int) {
        labels << d().progressDialog()->labelText();
        if (done == 2 && c.stop == Stop::Cancel)
            d().progressDialog()->cancel();
        if (done == 2 && c.stop == Stop::Unwritable)
            setAtomicWriteFault(AtomicWriteFault::Commit, ENOSPC);
    });
    showDialog();
    control<QCheckBox>("CheckAll")->setChecked(true);
    bar("BrightBar")->setValue(5);
    QTest::mouseClick(control<QToolButton>("butApply"), Qt::LeftButton);
    setAtomicWriteFault(AtomicWriteFault::None);
    d().setProgressObserver({});

    EXPECT_EQ(labels.size(), c.done);
    EXPECT_EQ(labels.value(c.done - 1), QStringLiteral("%1 / 6").arg(c.done));
    EXPECT_TRUE(fake.questions.isEmpty());
    for (int i = 0; i < 5; ++i) {
        const int times = (i < c.done) + (i == 0 && c.done == 6);
        EXPECT_EQ(fileBitmap(files[i]), testpics::brighter(start[i], 5 * times)) << i;
    }
    for (int i = 1; i <= mainWindow()->slotCount() && session().strip().firstIndex() + i <= 6; ++i) {
        const QString f = session().entry(session().strip().firstIndex() + i).path;
        if (!QFile::exists(f))
            break;
        EXPECT_TRUE(slotShowsItsFile(i));
    }
    EXPECT_TRUE(control<QCheckBox>("CheckAll")->isChecked()); // kept for the next showing
    const bool failed = c.message != nullptr;
    ASSERT_EQ(fake.errors.size(), failed ? 1 : 0) << fake.errors.join('\n').toStdString();
    EXPECT_EQ(d().isVisible(), failed);
    EXPECT_EQ(mainWindow()->statusPanel(0)->text(),
              QStringLiteral("%1 pictures written, 0 skipped").arg(c.done));
    if (failed) {
        EXPECT_TRUE(fake.errors[0].startsWith(QString::fromLatin1(c.message).arg(files[2])))
            << fake.errors[0].toStdString();
        EXPECT_EQ(bar("BrightBar")->value(), 5);
        d().discardEffects();
    } else {
        expectAllZero();
    }
    // Undo puts every file the run wrote back, but one the user changed
    // since (after a whole run), and says so.
    const bool changedSince = c.stop == Stop::None;
    if (changedSince)
        testpics::writeBmp(files[4], 20, 20, 9);
    ASSERT_TRUE(enabled("mnuUndo"));
    action("mnuUndo")->trigger();
    for (int i = 0; i < 5 - changedSince; ++i)
        EXPECT_EQ(fileBitmap(files[i]), start[i]) << i;
    EXPECT_FALSE(enabled("mnuUndo"));
    ASSERT_EQ(fake.infos.size(), changedSince ? 1 : 0) << fake.infos.join('\n').toStdString();
    if (changedSince) {
        EXPECT_TRUE(fake.infos[0].contains(files[4]));
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, AllPictures,
                         ::testing::Values(AllCase{"EveryEntry", Stop::None, 6, nullptr},
                                           AllCase{"Cancelled", Stop::Cancel, 2, nullptr},
                                           AllCase{"Unwritable", Stop::Unwritable, 2,
                                                   "Cannot create file \"%1\"."}),
                         [](const auto& info) { return std::string(info.param.name); });

// Above the reduction threshold the preview ends with the full-resolution
// result scaled to the box: the very pixels OK writes, including its noise.
// OK pressed before that render arrives waits for it or makes it; so does
// OK after the dialog was cancelled and shown again over the same picture.
struct ExactCase {
    const char* bar;
    int value;
    bool waitForPreview = true;
    bool cancelledFirst = false;
};

class ExactPreviewTest : public EffectsDialogTest, public ::testing::WithParamInterface<ExactCase> {};

TEST_P(ExactPreviewTest, PreviewShowsWhatOkWrites)
{
    const QString big = testpics::writeBmp(dir.filePath("big.bmp"), 1600, 1200, 6);
    const Bitmap24 start = fileBitmap(big);
    openFiles({big});
    showDialog();
    if (GetParam().cancelledFirst) {
        d().discardEffects();
        showDialog();
    }
    ASSERT_TRUE(d().previewReduced());
    auto* bar = d().findChild<QSlider*>(QString::fromLatin1(GetParam().bar));
    ASSERT_NE(bar, nullptr);
    bar->setValue(GetParam().value);
    const bool wait = GetParam().waitForPreview;
    if (wait) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d().preview()->shownScaled().isNull(); }, 60000));
    }
    const QImage shown = d().preview()->grab().toImage().convertToFormat(QImage::Format_RGB32);

    EffectRenderer fresh;
    applyEffectSettings(fresh, d().currentSettings());
    fresh.setPictureOriginal(start);
    d().applyEffects();
    const Bitmap24 written = fileBitmap(big);
    ASSERT_EQ(written.width(), 1600);
    const QImage want =
        FullSizeRender::scaledTo(written, d().preview()->size()).convertToFormat(QImage::Format_RGB32);
    if (wait) {
        EXPECT_TRUE(shown == want);
    }
    // Blocks and blurs are the full picture's; the noise is a draw of its own.
    if (fresh.value(Effect::ColorNoise) == 0) {
        EXPECT_EQ(written, fresh.rendered());
    }
}

INSTANTIATE_TEST_SUITE_P(Effects, ExactPreviewTest,
                         ::testing::Values(ExactCase{"MosaicBar", 20}, ExactCase{"BlurBar", 10},
                                           ExactCase{"NoiseBar", 60}, ExactCase{"MosaicBar", 50, false},
                                           ExactCase{"BlurBar", 6, true, true}),
                         [](const auto& info) {
                             return std::string(info.param.bar) +
                                    (info.param.waitForPreview ? "" : "AtOnce") +
                                    (info.param.cancelledFirst ? "AfterCancel" : "");
                         });

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
    mainWindow()->mainImage()->setPicture(Picture::fromJpegData(bad));
    bar("BrightBar")->setValue(30);
    d().show();
    QCoreApplication::processEvents();
    QEvent again(QEvent::WindowActivate); // as after the message box closes
    QApplication::sendEvent(&d(), &again);
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors[0].contains(QStringLiteral("is damaged (its data is corrupt; JPEG error #")))
        << fake.errors[0].toStdString();
    EXPECT_TRUE(fx().rendered().isEmpty());

    QTest::keyClick(bar("BrightBar"), Qt::Key_Return);
    EXPECT_EQ(fake.errors.size(), 1);
    EXPECT_EQ(fileBytes(a), aBefore);
    EXPECT_FALSE(enabled("mnuUndo"));
}

INSTANTIATE_TEST_SUITE_P(Sizes, FailedDecodeTest, ::testing::Values(QSize(64, 48), QSize(1600, 1200)),
                         [](const auto& info) { return std::to_string(info.param.width()); });
