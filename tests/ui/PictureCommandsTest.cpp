// Rotation, the Effects command and Undo on the main window.
#include "AppFixture.h"

#include "ui/effects/EffectsDialog.h"
#include "ui/effects/EffectPreview.h"
#include "effects/Rotate.h"
#include "core/AtomicFile.h"
#include "graphics/BmpCodec.h"
#include "graphics/JpegCodec.h"
#include "tests/support/FileBytes.h"

#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QSlider>
#include <QTimer>
#include <sys/stat.h>

namespace {

const std::uint8_t* px(const Bitmap24& b, int x, int y)
{
    return b.scanLine(y) + 3 * x;
}

bool samePixel(const Bitmap24& a, int ax, int ay, const Bitmap24& b, int bx, int by)
{
    return std::memcmp(px(a, ax, ay), px(b, bx, by), 3) == 0;
}

ino_t inodeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

TEST(RotateBitmap, QuarterTurnsMapEveryPixel)
{
    const Bitmap24 src = testpics::pattern(200, 100, 3);
    Bitmap24 right = src;
    RotateBitmap(right, 90, 0xFFFFFF);
    ASSERT_EQ(right.width(), 100);
    ASSERT_EQ(right.height(), 200);
    bool allRight = true;
    for (int r = 0; r < 200 && allRight; ++r)
        for (int c = 0; c < 100 && allRight; ++c)
            allRight = samePixel(right, c, r, src, r, 99 - c);
    EXPECT_TRUE(allRight);
    EXPECT_TRUE(samePixel(right, 0, 0, src, 0, 99)); // the source's bottom-left

    Bitmap24 left = src;
    RotateBitmap(left, 270, 0xFFFFFF);
    ASSERT_EQ(left.width(), 100);
    bool allLeft = true;
    for (int r = 0; r < 200 && allLeft; ++r)
        for (int c = 0; c < 100 && allLeft; ++c)
            allLeft = samePixel(left, c, r, src, 199 - r, c);
    EXPECT_TRUE(allLeft);

    RotateBitmap(right, 270, 0);
    EXPECT_EQ(right, src);
    Bitmap24 half = src, twice = src;
    RotateBitmap(half, 180, 0);
    RotateBitmap(twice, 90, 0);
    RotateBitmap(twice, -270, 0); // -270 is a right turn too
    EXPECT_EQ(half, twice);
    Bitmap24 full = src;
    RotateBitmap(full, 360, 0);
    EXPECT_EQ(full, src);
}

TEST(RotateBitmap, OtherAnglesTurnIntoALargerPictureOnTheBackground)
{
    Bitmap24 b(40, 40);
    b.fill(10, 20, 30);
    RotateBitmap(b, 45, 0x00FF8040); // 0x00BBGGRR
    EXPECT_GE(b.width(), 56);
    EXPECT_LE(b.width(), 58);
    const std::uint8_t* corner = px(b, 0, 0);
    EXPECT_EQ(corner[0], 0xFF); // blue
    EXPECT_EQ(corner[1], 0x80);
    EXPECT_EQ(corner[2], 0x40);
    const std::uint8_t* mid = px(b, b.width() / 2, b.height() / 2);
    EXPECT_EQ(mid[0], 10);
    EXPECT_EQ(mid[2], 30);
}

class PictureCommandsTest : public AppFixture {
protected:
    QString openFiles(const QStringList& files)
    {
        QList<CollectionEntry> entries;
        for (const QString& f : files)
            entries.append({f, QFileInfo(f).fileName()});
        const QString path = dir.filePath(QStringLiteral("pics.pvx"));
        writeCollection(path, entries);
        openPath(path);
        return path;
    }
    // Runs the Effects command; `drive` works the modal dialog, then OK.
    void effects(const std::function<void(EffectsDialog&)>& drive)
    {
        QTimer::singleShot(0, [drive] {
            drive(*effectsDialog());
            runCommand([] { effectsDialog()->applyEffects(); });
            if (effectsDialog()->isVisible())
                effectsDialog()->done(QDialog::Rejected);
        });
        runCommand([] { mainWindow()->showEffects(); });
        // The modal dialog took the activation; shortcuts need it back.
        QApplication::setActiveWindow(mainWindow());
    }
    Bitmap24 fileBitmap(const QString& path) { return Picture::loadFromFile(path).toBitmap24(); }
};

TEST_F(PictureCommandsTest, RotateRightThenLeftOnABitmapFile)
{
    const QString bmp = testpics::writeBmp(dir.filePath("wide.bmp"), 200, 100, 5);
    const Bitmap24 start = fileBitmap(bmp);
    openFiles({bmp});

    mainWindow()->rotateRight();
    const Bitmap24 turned = fileBitmap(bmp);
    ASSERT_EQ(turned.width(), 100);
    ASSERT_EQ(turned.height(), 200);
    EXPECT_TRUE(samePixel(turned, 0, 0, start, 0, 99));
    // Slot and main image hold what the file holds.
    EXPECT_EQ(mainWindow()->slot(1)->picture().toBitmap24(), turned);
    EXPECT_TRUE(mainWindow()->Image1()->picture().sharesDataWith(mainWindow()->slot(1)->picture()));

    key(Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(fileBitmap(bmp), start);
    EXPECT_EQ(mainWindow()->Image1()->picture().toBitmap24(), start);
    EXPECT_TRUE(fake.errors.isEmpty());
}

TEST_F(PictureCommandsTest, FourRightTurnsGiveThePixelsBackIn24Bits)
{
    const QString bmp = dir.filePath("pal8nonsquare.bmp");
    ASSERT_TRUE(QFile::copy(PV_CORPUS_DIR "/bmpsuite/g/pal8nonsquare.bmp", bmp));
    QFile::setPermissions(bmp, QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_EQ(fileBytes(bmp).at(28), 8);
    const Bitmap24 start = fileBitmap(bmp);
    openFiles({bmp});
    for (int i = 0; i < 4; ++i)
        key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join('\n').toStdString();
    const QByteArray after = fileBytes(bmp);
    EXPECT_EQ(after.at(28), 24);
    EXPECT_EQ(decodeBmp(after), start);
}

TEST_F(PictureCommandsTest, UpperCaseJpgIsRotatedAndWrittenAsJpeg)
{
    const QString jpg = testpics::writeJpeg(dir.filePath("photo.JPG"), 120, 80, 2);
    openFiles({jpg});
    mainWindow()->rotateLeft();
    const QByteArray after = fileBytes(jpg);
    ASSERT_TRUE(after.startsWith("\xFF\xD8"));
    const Bitmap24 b = decodeJpeg(after);
    EXPECT_EQ(b.width(), 80);
    EXPECT_EQ(b.height(), 120);
    // The main image holds the JPEG as written, not a bitmap.
    EXPECT_EQ(mainWindow()->Image1()->picture().kind(), Picture::Kind::Jpeg);
    EXPECT_EQ(mainWindow()->slot(1)->picture().data(), after);
}

TEST_F(PictureCommandsTest, AnIconIsWrittenBackAsLoaded)
{
    const QString ico = dir.filePath("small.ico");
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(QColor(200, 30, 40));
    ASSERT_TRUE(icon.save(ico, "ICO"));
    const QByteArray before = fileBytes(ico);
    const ino_t inode = inodeOf(ico);
    openFiles({ico});
    mainWindow()->rotateRight();
    EXPECT_TRUE(fake.errors.isEmpty());
    EXPECT_EQ(fileBytes(ico), before);
    EXPECT_NE(inodeOf(ico), inode); // replaced by a fresh write
    EXPECT_EQ(mainWindow()->Image1()->picture().size(), QSize(16, 16));
}

TEST_F(PictureCommandsTest, AFailedRotationChangesNeitherFileNorMemory)
{
    const QString jpg = testpics::writeJpeg(dir.filePath("a.jpg"), 60, 40, 1);
    const QString bmp = testpics::writeBmp(dir.filePath("b.bmp"), 60, 40, 2);
    openFiles({jpg, bmp});
    for (int n : {1, 2}) {
        const QString path = n == 1 ? jpg : bmp;
        mainWindow()->selectSlot(n);
        const QByteArray before = fileBytes(path);
        const Picture held = mainWindow()->slot(n)->picture();
        for (auto fault : {AtomicWriteFault::Open, AtomicWriteFault::Write, AtomicWriteFault::Commit}) {
            fake.errors.clear();
            setAtomicWriteFault(fault, ENOSPC);
            runCommand([] { mainWindow()->rotateRight(); });
            setAtomicWriteFault(AtomicWriteFault::None);
            ASSERT_EQ(fake.errors.size(), 1);
            EXPECT_TRUE(fake.errors[0].startsWith(QStringLiteral("Cannot create file \"%1\".").arg(path)))
                << fake.errors[0].toStdString();
            EXPECT_EQ(fileBytes(path), before);
            EXPECT_TRUE(mainWindow()->slot(n)->picture().sharesDataWith(held));
            EXPECT_TRUE(mainWindow()->Image1()->picture().sharesDataWith(held));
        }
    }
    // No temporary file is left behind.
    const QStringList known = {"a.jpg", "b.bmp", "pics.pvx", "pictavo.ini"};
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
        EXPECT_TRUE(known.contains(name)) << name.toStdString();
}

TEST_F(PictureCommandsTest, RotationLeavesTheUndoRecordAlone)
{
    const QString bmp = testpics::writeBmp(dir.filePath("u.bmp"), 30, 20, 4);
    const Bitmap24 start = fileBitmap(bmp);
    openFiles({bmp});
    effects([](EffectsDialog& d) { d.BrightBar->setValue(40); });
    ASSERT_TRUE(enabled("mnuUndo"));
    mainWindow()->rotateRight();
    EXPECT_TRUE(enabled("butUndo"));
    mainWindow()->undo();
    EXPECT_EQ(fileBitmap(bmp), start); // the effect's snapshot, not the turn
    EXPECT_FALSE(enabled("mnuUndo1"));
}

TEST_F(PictureCommandsTest, UndoAfterTheEntryScrolledOutOfTheStrip)
{
    const QString c = collectionOf(6);
    openPath(c);
    ASSERT_EQ(mainWindow()->SlotCount(), 3);
    const QString first = session().entry(1).FileName; // a JPEG
    const QByteArray original = fileBytes(first);
    effects([](EffectsDialog& d) { d.ContrastBar->setValue(120); });
    ASSERT_NE(fileBytes(first), original);
    EXPECT_EQ(session().undoRecord().slot, 1);
    EXPECT_EQ(session().undoRecord().firstIndex, 0);

    for (int i = 0; i < 4; ++i)
        key(Qt::Key_Down);
    ASSERT_EQ(session().firstIndex(), 2);
    ASSERT_EQ(session().currentSlot(), 3);
    mainWindow()->selectSlot(2);
    QList<Picture> strip;
    for (int i = 1; i <= 3; ++i)
        strip << mainWindow()->slot(i)->picture();

    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(fileBytes(first), original);
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(mainWindow()->slot(i)->picture().sharesDataWith(strip[i - 1])) << i;
    EXPECT_TRUE(mainWindow()->Image1()->picture().sharesDataWith(mainWindow()->slot(2)->picture()));
    EXPECT_EQ(panel(1), QStringLiteral("Image: 4 / 6"));
    EXPECT_FALSE(enabled("mnuUndo"));
    EXPECT_FALSE(enabled("butUndo"));
}

TEST_F(PictureCommandsTest, UndoOnTheCurrentEntryRestoresSlotAndMainImage)
{
    const QString c = collectionOf(3);
    openPath(c);
    mainWindow()->selectSlot(2); // a bitmap
    const QString path = session().entry(2).FileName;
    const Bitmap24 start = fileBitmap(path);
    effects([](EffectsDialog& d) { d.chkEmboss->setChecked(true); });
    ASSERT_NE(fileBitmap(path), start);
    mainWindow()->undo();
    EXPECT_EQ(fileBitmap(path), start);
    EXPECT_EQ(mainWindow()->slot(2)->picture().toBitmap24(), start);
    EXPECT_EQ(mainWindow()->Image1()->picture().toBitmap24(), start);
}

TEST_F(PictureCommandsTest, UndoAfterAnAllPicturesApplyRestoresTheEarlierSnapshot)
{
    const QString c = collectionOf(4);
    openPath(c);
    mainWindow()->selectSlot(2);
    const QString second = session().entry(2).FileName;
    const Bitmap24 start = fileBitmap(second);
    effects([](EffectsDialog& d) { d.BrightBar->setValue(30); });
    effects([](EffectsDialog& d) {
        d.CheckAll->setChecked(true);
        d.SaturationBar->setValue(-255);
    });
    EXPECT_TRUE(enabled("mnuUndo"));
    EXPECT_EQ(session().undoRecord().slot, 2);
    mainWindow()->undo();
    EXPECT_EQ(fileBitmap(second), start);
    effectsDialog()->CheckAll->setChecked(false);
}

TEST_F(PictureCommandsTest, UndoWritesTheFormatTheFileNameNames)
{
    const QString jpg = testpics::writeJpeg(dir.filePath("x.jpg"), 50, 30, 7);
    openFiles({jpg});
    // A snapshot held as a bitmap must still reach a ".jpg" as JPEG data.
    session().setUndoRecord({Picture::fromBitmap(testpics::pattern(50, 30, 9)), 1, 0});
    session().setUndoAvailable(true);
    mainWindow()->undo();
    const QByteArray after = fileBytes(jpg);
    EXPECT_TRUE(after.startsWith("\xFF\xD8"));
    EXPECT_EQ(Picture::loadFromFile(jpg).size(), QSize(50, 30));
    EXPECT_EQ(mainWindow()->slot(1)->picture().kind(), Picture::Kind::Jpeg);
}

TEST_F(PictureCommandsTest, AFailedUndoKeepsUndoEnabledAndTheStripUnchanged)
{
    const QString c = collectionOf(2);
    openPath(c);
    const QString first = session().entry(1).FileName;
    effects([](EffectsDialog& d) { d.BrightBar->setValue(-60); });
    const QByteArray changed = fileBytes(first);
    const Picture held = mainWindow()->slot(1)->picture();
    setAtomicWriteFault(AtomicWriteFault::Commit, EROFS);
    runCommand([] { mainWindow()->undo(); });
    setAtomicWriteFault(AtomicWriteFault::None);
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors[0].startsWith("Cannot create file"));
    EXPECT_EQ(fileBytes(first), changed);
    EXPECT_TRUE(mainWindow()->slot(1)->picture().sharesDataWith(held));
    EXPECT_TRUE(enabled("mnuUndo"));
}

TEST_F(PictureCommandsTest, EffectsShowsTheCurrentSlotsPictureAndLeavesTheTextsAlone)
{
    const QString c = collectionOf(3);
    openPath(c);
    key(Qt::Key_Down); // follow mode off: the main image stays on entry 1
    const QString status = panel(1);
    bool seen = false;
    QTimer::singleShot(0, [&] {
        seen = effectsDialog()->isVisible() &&
               effectsDialog()->ImgPreview->engine().PictureOriginal() == mainWindow()->slot(2)->picture().toBitmap24();
        effectsDialog()->discardEffects();
    });
    mainWindow()->showEffects();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(mainWindow()->Image1()->picture().sharesDataWith(mainWindow()->slot(2)->picture()));
    EXPECT_EQ(panel(1), status);
    EXPECT_FALSE(enabled("mnuUndo"));
}
