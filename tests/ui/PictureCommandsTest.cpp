// Rotation and Undo on the main window.
#include "AppFixture.h"

#include "effects/Rotate.h"
#include "graphics/JpegCodec.h"
#include "tests/support/FileBytes.h"
#include "tests/support/KindPictures.h"
#include "tests/support/WriteFaults.h"

#include "ui/main/PictureInfoPanel.h"
#include "ui/main/PictureOutput.h"

#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>

namespace {

bool samePixel(const Bitmap24& a, int ax, int ay, const Bitmap24& b, int bx, int by)
{
    return std::memcmp(a.scanLine(ay) + 3 * ax, b.scanLine(by) + 3 * bx, 3) == 0;
}

Bitmap24 turned(Bitmap24 b, int angle)
{
    RotateBitmap(b, angle, 0);
    return b;
}

} // namespace

TEST(RotateBitmap, QuarterTurnsMapEveryPixel)
{
    const Bitmap24 src = testpics::pattern(200, 100, 3);
    const Bitmap24 right = turned(src, 90), left = turned(src, 270);
    ASSERT_EQ(QSize(right.width(), right.height()), QSize(100, 200));
    ASSERT_EQ(QSize(left.width(), left.height()), QSize(100, 200));
    bool same = true;
    for (int r = 0; r < 200; ++r)
        for (int c = 0; c < 100; ++c)
            same = same && samePixel(right, c, r, src, r, 99 - c) && samePixel(left, c, r, src, 199 - r, c);
    EXPECT_TRUE(same);
    EXPECT_EQ(turned(src, 180), turned(turned(src, 90), -270)); // -270 is a right turn too
    EXPECT_EQ(turned(src, 360), src);
}

using PictureCommandsTest = AppFixture;

// Ctrl+R and Ctrl+L turn the file in place in its own format, and the
// strip and main image show what the file holds. Kinds that are only shown
// get one message and keep their bytes; a write that fails changes neither
// the file nor what is shown.
struct Turns {
    const char* name;
    const char* file;
    const char* keys;
    int angle;
    bool fails = false;
    friend void PrintTo(const Turns& p, std::ostream* os) { *os << p.name; }
};

class Rotation : public PictureCommandsTest, public ::testing::WithParamInterface<Turns> {};

TEST_P(Rotation, RewritesTheFileInItsFormat)
{
    const Turns& t = GetParam();
    const QString path = dir.filePath(t.file);
    const QString ext = pictureExtension(path);
    if (ext == "jpg")
        testpics::writeJpeg(path, 120, 80, 2);
    else if (ext == "ico" || ext == "webp")
        ASSERT_TRUE(QImage(QStringLiteral(PV_CORPUS_DIR "/jpeg/testorig.jpg"))
                        .scaled(16, 12)
                        .save(path, nullptr, 100));
    else if (ext == "tif")
        writeFileAtomically(path, kinds::tiff(kinds::quadrants(30, 20), 6));
    else if (path.contains("pal8")) // 8 bits with a palette
        ASSERT_TRUE(QFile::copy(PV_CORPUS_DIR "/bmpsuite/g/pal8nonsquare.bmp", path));
    else
        testpics::writeBmp(path, 200, 100, 5);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray before = fileBytes(path);
    const Bitmap24 expected = turned(fileBitmap(path), t.angle);
    openFiles({path, path}); // the same file twice: both slots show what it holds
    const Picture held = mainWindow()->mainImage()->picture();
    const QImage drawn = mainWindow()->slot(1)->rendition();
    if (t.fails)
        setAtomicWriteFault(AtomicWriteFault::Commit, ENOSPC);
    for (const char* k = t.keys; *k; ++k)
        key(*k == 'R' ? Qt::Key_R : Qt::Key_L, Qt::ControlModifier);
    setAtomicWriteFault(AtomicWriteFault::None);
    if (t.fails) {
        ASSERT_EQ(fake.errors.size(), 1);
        EXPECT_TRUE(fake.errors[0].startsWith("Cannot create file \"" + path + "\".")) << fake.errors[0].toStdString();
        EXPECT_EQ(fileBytes(path), before);
        EXPECT_TRUE(mainWindow()->mainImage()->picture().sharesDataWith(held));
        EXPECT_EQ(mainWindow()->slot(1)->rendition(), drawn);
        EXPECT_TRUE(shows(1));
        return;
    }
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join('\n').toStdString();
    const bool shownOnly = ext == "ico" || ext == "webp";
    EXPECT_EQ(fake.infos, shownOnly ? QStringList{msg::kindNotChanged(path)} : QStringList());
    const QByteArray after = fileBytes(path);
    EXPECT_EQ(after.left(2), before.left(2)) << "the same format";
    if (after.startsWith("BM")) {
        EXPECT_EQ(after.at(28), 24) << "bitmaps are written in 24 bits";
    }
    const Bitmap24 now = fileBitmap(path);
    if (shownOnly) {
        EXPECT_EQ(after, before);
    } else if (after.startsWith("\xFF\xD8")) { // encoded again: only the size is exact
        EXPECT_EQ(QSize(now.width(), now.height()), QSize(expected.width(), expected.height()));
    } else {
        EXPECT_EQ(now, expected);
    }
    EXPECT_TRUE(shows(1));
    // Turns within a few milliseconds can leave a file stamp unchanged;
    // one turn must reach every slot of the file.
    if (std::strlen(t.keys) == 1) {
        EXPECT_TRUE(QTest::qWaitFor([] {
            return mainWindow()->slot(2)->rendition().size() == mainWindow()->slot(1)->rendition().size();
        })) << "the other slot of the file shows the turn too";
    }
}

INSTANTIATE_TEST_SUITE_P(Files, Rotation,
                         ::testing::Values(Turns{"BitmapRight", "wide.bmp", "R", 90},
                                           Turns{"PalettedFourTimes", "pal8nonsquare.bmp", "RRRR", 0},
                                           Turns{"UpperCaseJpgLeft", "photo.JPG", "L", 270},
                                           Turns{"BitmapWriteFails", "wide.bmp", "R", 0, true},
                                           Turns{"JpegWriteFails", "photo.jpg", "L", 0, true},
                                           Turns{"TurnedTiffLeft", "scan.tif", "L", 270},
                                           Turns{"WebPShownNotChanged", "web.webp", "R", 0},
                                           Turns{"IconShownNotChanged", "small.ico", "L", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PictureCommandsTest, UndoAfterTheEntryScrolledOutOfTheStripWritesItsFile)
{
    openPath(collectionOf(6));
    const Picture before = Picture::fromJpegData(encodeJpeg(testpics::pattern(64, 48, 9)));
    // What OK in the effects dialog leaves for Undo: the picture before.
    session().undoHistory().record(std::make_unique<PictureUndo>(1, session().entry(1).path, before));
    mainWindow()->rotateRight(); // leaves the record alone
    for (int i = 0; i < 4; ++i)
        key(Qt::Key_Down);
    mainWindow()->selectSlot(2);
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(fileBytes(session().entry(1).path), before.data());
    EXPECT_TRUE(shows(4));
    EXPECT_FALSE(enabled("mnuUndo"));
}

// Delete moves the shown picture's file to the trash (a temporary one)
// after one question a run, and the strip closes the gap at the next entry;
// Ctrl+Z brings back the file and its entry, and the effect's record before
// it is gone. "Don't ask again" stays asked for the next runs. What the
// trash and the collection file hold: TrashMoveTest's TrashAndUndo.
TEST_F(PictureCommandsTest, DeleteMovesTheFileToTheTrashAndCtrlZPutsItBack)
{
    const QByteArray home = qgetenv("HOME"), data = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", dir.filePath("home").toUtf8());
    qputenv("XDG_DATA_HOME", dir.filePath("home/data").toUtf8());
    const QString path = collectionOf(5);
    openPath(path);
    const QByteArray firstBefore = fileBytes(session().entry(1).path);
    session().undoHistory().record(std::make_unique<PictureUndo>(
        1, session().entry(1).path, Picture::fromJpegData(encodeJpeg(testpics::pattern(64, 48, 9)))));
    key(Qt::Key_Right);
    const QString second = session().entry(2).path, third = session().entry(3).path;
    fake.questionAnswers = {false, true};
    key(Qt::Key_Delete);
    EXPECT_TRUE(QFileInfo::exists(second)) << "cancelled";
    key(Qt::Key_Delete);
    EXPECT_EQ(fake.questions,
              QStringList(2, "Move \"" + second +
                                 "\" to the trash? It can be restored with Undo or from the trash."));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("home/data/Trash/files/") + QFileInfo(second).fileName()));
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_EQ(session().entry(2).path, third);
    EXPECT_TRUE(shows(2));

    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(session().entry(2).path, second);
    EXPECT_TRUE(shows(2));
    EXPECT_FALSE(enabled("mnuUndo"));
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(fileBytes(session().entry(1).path), firstBefore) << "the effect's record went";

    // Asked once a run: the next move goes at once; the next run asks again.
    key(Qt::Key_Delete);
    EXPECT_EQ(session().entryCount(), 4);
    EXPECT_EQ(fake.questions.size(), 2);
    fake.questionAnswers = {true};
    fake.checkAnswer = true;
    restart();
    openPath(path);
    key(Qt::Key_Delete);
    restart();
    openPath(path);
    key(Qt::Key_Delete);
    EXPECT_EQ(fake.questions.size(), 3);
    EXPECT_EQ(session().entryCount(), 2);
    EXPECT_TRUE(fileBytes(iniPath()).contains("AskBeforeTrash=0"));
    qputenv("HOME", home);
    data.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", data);
}

TEST_F(PictureCommandsTest, ADamagedPictureIsShownWithANoteAndNeverWritten)
{
    const QByteArray whole = fileBytes(testpics::writeJpeg(dir.filePath("whole.jpg"), 120, 80, 2));
    const QByteArray cut = whole.left(whole.size() * 2 / 3);
    const QString path = dir.filePath("cut.jpg");
    ASSERT_TRUE(putBytes(path, cut));
    openFiles({path});
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel(2).contains("damaged (its data ends early)"); }, 10000))
        << panel(2).toStdString();
    key(Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_EQ(fake.errors[0],
              QStringLiteral("\"%1\" is damaged (its data ends early); it was not changed.").arg(path));
    EXPECT_EQ(fileBytes(path), cut);
}

// I shows the information panel, which follows the picture shown with
// the camera's values read by a loader; Alt+Enter hides it. Ctrl+Shift+C
// copies the picture upright with its file's path and URL.
TEST_F(PictureCommandsTest, InformationFollowsThePictureAndCopyGivesPictureAndPath)
{
    const QString nikon = QStringLiteral(PV_CORPUS_DIR "/camera/DSCN0010.jpg");
    const QString canon = QStringLiteral(PV_CORPUS_DIR "/camera/canon-ixus.jpg");
    openFiles({nikon, canon});
    PictureInfoPanel* panel = mainWindow()->infoPanel();
    const auto value = [panel](InfoField f) { return panel->valueLabel(f)->text(); };
    key(Qt::Key_I);
    ASSERT_TRUE(panel->isVisible());
    EXPECT_TRUE(action("mnuPictureInfo")->isChecked());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !value(InfoField::Camera).isEmpty(); }, 10000));
    EXPECT_EQ(value(InfoField::Camera), "NIKON COOLPIX P6000");
    EXPECT_EQ(value(InfoField::DateTaken), "2008-10-22 16:28:39");
    EXPECT_EQ(value(InfoField::Comment), "DSCN0010.jpg");
    EXPECT_TRUE(panel->mapButton()->isVisibleTo(panel));
    EXPECT_EQ(panel->valueLabel(InfoField::Camera)->accessibleName(), "Camera");
    QUrl opened;
    panel->setLinkOpener([&](const QUrl& url) { opened = url; });
    panel->mapButton()->click();
    EXPECT_EQ(opened.scheme(), "geo");

    key(Qt::Key_Right);
    ASSERT_TRUE(QTest::qWaitFor([&] { return value(InfoField::Camera) == "Canon DIGITAL IXUS"; }, 10000));
    EXPECT_FALSE(panel->mapButton()->isVisibleTo(panel)) << "no position, no map";
    EXPECT_TRUE(value(InfoField::Lens).isEmpty());

    key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied);
    EXPECT_EQ(qvariant_cast<QImage>(copied->imageData()).size(), QSize(640, 480));
    EXPECT_EQ(copied->text(), canon);
    EXPECT_EQ(copied->urls(), QList<QUrl>{QUrl::fromLocalFile(canon)});
    EXPECT_TRUE(copied->hasFormat("text/uri-list"));

    key(Qt::Key_Return, Qt::AltModifier);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(shows(2)) << "Alt+Enter is not Enter";
}

// A page holds the picture fitted and centred, the caption under it; a
// PDF printed without a printer holds the picture on a page turned its way.
TEST(PicturePrint, FitsCentresAndPrintsToPdf)
{
    QImage picture(200, 100, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QImage page(1000, 1000, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        paintPrintedPage(painter, page.rect(), picture, QString());
    }
    EXPECT_EQ(page.pixel(500, 260), qRgb(255, 0, 0));
    EXPECT_EQ(page.pixel(5, 740), qRgb(255, 0, 0)) << "as wide as the page";
    EXPECT_EQ(page.pixel(500, 240), qRgb(255, 255, 255)) << "centred: white above";
    EXPECT_EQ(page.pixel(500, 760), qRgb(255, 255, 255)) << "and below";
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        paintPrintedPage(painter, page.rect(), picture.scaled(100, 200), QStringLiteral("By the lake"));
    }
    EXPECT_EQ(page.pixel(500, 20), qRgb(255, 0, 0)) << "the picture from the top";
    int lastRed = 0;
    while (lastRed + 1 < page.height() && page.pixel(500, lastRed + 1) == qRgb(255, 0, 0))
        ++lastRed;
    EXPECT_LT(lastRed, 990) << "room for the caption below it";
    bool captionInk = false;
    for (int y = lastRed + 1; y < page.height(); ++y)
        for (int x = 300; x < 700; ++x)
            captionInk = captionInk || (page.pixel(x, y) != qRgb(255, 0, 0) && qGray(page.pixel(x, y)) < 128);
    EXPECT_TRUE(captionInk);

    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("out.pdf")));
    printer.setPageOrientation(pageOrientationFor(picture.size()));
    printPicture(printer, picture, QString());
    const QByteArray pdf = fileBytes(dir.filePath(QStringLiteral("out.pdf")));
    ASSERT_TRUE(pdf.startsWith("%PDF"));
    EXPECT_TRUE(pdf.contains("/Subtype /Image")) << "the picture is on the page";
    EXPECT_TRUE(pdf.contains("/Width 200") && pdf.contains("/Height 100"));
    EXPECT_EQ(pageOrientationFor(QSize(100, 200)), QPageLayout::Portrait);
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
}
