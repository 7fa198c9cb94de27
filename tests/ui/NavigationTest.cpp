#include "tests/ui/AppFixture.h"

#include "collection/CollectionListModel.h"
#include "ui/editor/CollectionEditor.h"
#include "core/AtomicFile.h"
#include "ui/settings/SettingsDialog.h"

#include <QCheckBox>
#include <QDirIterator>
#include <QFile>
#include <QMap>

using Navigation = AppFixture;

TEST_F(Navigation, OpeningShowsTheFirstEntryEverywhere)
{
    const QString path = collectionOf(5);
    openPath(path);
    EXPECT_EQ(session().entryCount(), 5);
    EXPECT_EQ(session().firstIndex(), 0);
    EXPECT_EQ(session().currentSlot(), 1);
    EXPECT_EQ(mainWindow()->windowTitle(), path + QStringLiteral(" - Pictavo 2006"));
    EXPECT_EQ(panel(1), QStringLiteral("Image: 1 / 5"));
    EXPECT_EQ(panel(2), session().entry(1).FileName);
    EXPECT_EQ(mainWindow()->LabelComent()->text(), QStringLiteral("comment 1"));
    EXPECT_TRUE(mainWindow()->ShapeCur()->isVisible());
    EXPECT_EQ(shapeTop(), 6);
    EXPECT_TRUE(mainWindow()->Image1()->picture().sharesDataWith(mainWindow()->slot(1)->picture()));
    EXPECT_EQ(collectionEditor()->list()->rowCount(), 5);
    EXPECT_EQ(collectionEditor()->list()->entry(4).Comment, QStringLiteral("comment 5"));
    EXPECT_FALSE(mainWindow()->BtnUp()->isEnabled());
    EXPECT_TRUE(mainWindow()->BtnDown()->isEnabled());
}

TEST_F(Navigation, OneEntryKeepsBothButtonsDisabled)
{
    openPath(collectionOf(1));
    EXPECT_FALSE(mainWindow()->BtnUp()->isEnabled());
    EXPECT_FALSE(mainWindow()->BtnDown()->isEnabled());
    for (int k : {Qt::Key_Down, Qt::Key_Space, Qt::Key_Up, Qt::Key_Backspace})
        key(k);
    EXPECT_EQ(session().currentEntry(), 1);
    EXPECT_FALSE(mainWindow()->slot(2)->isEnabled());
    EXPECT_TRUE(mainWindow()->slot(2)->picture().isEmpty());
}

TEST_F(Navigation, AsManyEntriesAsSlotsMovesOnlyTheHighlight)
{
    openPath(collectionOf(3));
    EXPECT_TRUE(mainWindow()->BtnDown()->isEnabled());
    key(Qt::Key_Down);
    key(Qt::Key_Space);
    EXPECT_EQ(session().currentSlot(), 3);
    EXPECT_EQ(shapeTop(), 6 + 2 * 153);
    EXPECT_FALSE(mainWindow()->BtnDown()->isEnabled());
    key(Qt::Key_Down);
    EXPECT_EQ(session().currentSlot(), 3);
    EXPECT_EQ(session().firstIndex(), 0);
}

TEST_F(Navigation, TwelveEntriesThroughThreeSlotsToTheEndAndBack)
{
    openPath(collectionOf(12));
    mainWindow()->toggleFollowMode();
    for (int i = 0; i < 11; ++i)
        key(Qt::Key_Down);
    EXPECT_EQ(session().firstIndex(), 9);
    EXPECT_EQ(session().currentSlot(), 3);
    EXPECT_EQ(panel(1), QStringLiteral("Image: 12 / 12"));
    EXPECT_EQ(mainWindow()->LabelComent()->text(), QStringLiteral("comment 12"));
    EXPECT_FALSE(mainWindow()->BtnDown()->isEnabled());
    EXPECT_TRUE(mainWindow()->BtnUp()->isEnabled());
    // Each slot shows the entry it stands for.
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(mainWindow()->slot(i)->hint(), QStringLiteral("comment %1").arg(9 + i));

    key(Qt::Key_Up);
    EXPECT_EQ(session().firstIndex(), 9);
    EXPECT_EQ(session().currentSlot(), 2);
    EXPECT_TRUE(mainWindow()->BtnDown()->isEnabled());

    for (int i = 0; i < 10; ++i)
        key(Qt::Key_Backspace);
    EXPECT_EQ(session().firstIndex(), 0);
    EXPECT_EQ(session().currentSlot(), 1);
    EXPECT_FALSE(mainWindow()->BtnUp()->isEnabled());
    EXPECT_EQ(panel(1), QStringLiteral("Image: 1 / 12"));
    EXPECT_EQ(mainWindow()->slot(1)->hint(), QStringLiteral("comment 1"));
    EXPECT_EQ(mainWindow()->slot(3)->hint(), QStringLiteral("comment 3"));
}

TEST_F(Navigation, FollowModeOffMovesOnlyTheStripUntilEnter)
{
    openPath(collectionOf(5));
    ASSERT_FALSE(session().followsCursor());
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    key(Qt::Key_Down); // scrolls
    EXPECT_EQ(session().currentEntry(), 4);
    EXPECT_EQ(mainWindow()->LabelComent()->text(), QStringLiteral("comment 1"));
    EXPECT_EQ(panel(1), QStringLiteral("Image: 1 / 5"));
    key(Qt::Key_Return);
    EXPECT_EQ(mainWindow()->LabelComent()->text(), QStringLiteral("comment 4"));
    EXPECT_EQ(panel(1), QStringLiteral("Image: 4 / 5"));
    EXPECT_TRUE(mainWindow()->Image1()->picture().sharesDataWith(mainWindow()->slot(3)->picture()));
    EXPECT_EQ(session().firstIndex(), 1);
}

TEST_F(Navigation, FollowToggleKeepsMenuAndButtonInStep)
{
    QAction* menu = mainWindow()->action("mnuFollows");
    QToolButton* button = mainWindow()->toolButton("btnFollow");
    menu->trigger();
    EXPECT_TRUE(session().followsCursor());
    EXPECT_TRUE(menu->isChecked());
    EXPECT_TRUE(button->isChecked());
    button->click();
    EXPECT_FALSE(session().followsCursor());
    EXPECT_FALSE(menu->isChecked());
    EXPECT_FALSE(button->isChecked());
}

TEST_F(Navigation, SlotClickShowsTheSlotAndResetsAsIs)
{
    openPath(collectionOf(5));
    mainWindow()->stretchToFit();
    mainWindow()->zoomIn();
    ASSERT_FALSE(mainWindow()->Image1()->autoSize());
    QTest::mouseClick(mainWindow()->slot(2), Qt::LeftButton);
    EXPECT_TRUE(mainWindow()->Image1()->autoSize());
    EXPECT_FALSE(mainWindow()->Image1()->stretch());
    EXPECT_EQ(session().currentSlot(), 2);
    EXPECT_EQ(shapeTop(), 6 + 153);
    EXPECT_EQ(mainWindow()->LabelComent()->text(), QStringLiteral("comment 2"));
    EXPECT_EQ(panel(1), QStringLiteral("Image: 2 / 5"));
    EXPECT_TRUE(mainWindow()->BtnUp()->isEnabled());
    EXPECT_TRUE(mainWindow()->BtnDown()->isEnabled());
}

TEST_F(Navigation, CancelledOpenDialogReadsTheOpenCollectionAgain)
{
    const QString path = collectionOf(5);
    openPath(path);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    fake.openAnswers = {QString()};
    mainWindow()->action("mnuOpen")->trigger();
    EXPECT_EQ(fake.openCalls, 1);
    EXPECT_EQ(session().collectionFileName(), path);
    EXPECT_EQ(session().firstIndex(), 0);
    EXPECT_EQ(session().currentSlot(), 1);
    EXPECT_EQ(mainWindow()->slot(1)->hint(), QStringLiteral("comment 1"));
}

TEST_F(Navigation, FewerEntriesThanBeforeLeaveLowerSlotsEmptyAndDisabled)
{
    openPath(collectionOf(5));
    fake.openAnswers = {testpics::makeCollection(dir.path(), QStringLiteral("one.pvx"), 1)};
    mainWindow()->openCollectionFile();
    EXPECT_EQ(session().entryCount(), 1);
    EXPECT_EQ(collectionEditor()->list()->rowCount(), 1);
    for (int i = 2; i <= 3; ++i) {
        EXPECT_FALSE(mainWindow()->slot(i)->isEnabled());
        EXPECT_TRUE(mainWindow()->slot(i)->picture().isEmpty());
    }
}

TEST_F(Navigation, CommandLinePathWithBlanksOpensAsOnePath)
{
    QDir().mkpath(dir.path() + QStringLiteral("/my pictures"));
    const QString path = testpics::makeCollection(dir.path() + QStringLiteral("/my pictures"), "two words.pvx", 2);
    destroyWindows();
    createWindows(path.split(QLatin1Char(' ')));
    EXPECT_EQ(session().collectionFileName(), path);
    EXPECT_EQ(session().entryCount(), 2);
    EXPECT_TRUE(fake.errors.isEmpty());
}

TEST_F(Navigation, BeforeAnyOpenTheNavigationKeysDoNothingButKeypadZooms)
{
    for (int k : {Qt::Key_Down, Qt::Key_Space, Qt::Key_Up, Qt::Key_Backspace, Qt::Key_Return})
        key(k);
    EXPECT_EQ(session().entryCount(), 0);
    EXPECT_TRUE(fake.errors.isEmpty());
    key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(mainWindow()->ZoomStep(), 10);
    key(Qt::Key_Plus); // the main keyboard's plus is not a zoom key
    EXPECT_EQ(mainWindow()->ZoomStep(), 10);
}

// ---- failures

TEST_F(Navigation, AMissingCollectionFileChangesNothing)
{
    const QString path = collectionOf(5);
    openPath(path);
    key(Qt::Key_Down);
    fake.openAnswers = {dir.path() + QStringLiteral("/nothing.pvx")};
    mainWindow()->action("mnuOpen")->trigger();
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors.first().startsWith(QStringLiteral("File not found"))) << fake.errors.first().toStdString();
    EXPECT_EQ(session().collectionFileName(), path);
    EXPECT_EQ(session().entryCount(), 5);
    EXPECT_EQ(session().currentSlot(), 2);
    EXPECT_EQ(collectionEditor()->list()->rowCount(), 5);
}

TEST_F(Navigation, AnUnreadablePictureStopsTheStripButTheListHoldsEveryEntryAndNewKeepsTheFile)
{
    QList<CollectionEntry> entries = readCollectionAll(collectionOf(5));
    entries[1].FileName = dir.path() + QStringLiteral("/missing.jpg");
    const QString path = dir.path() + QStringLiteral("/broken.pvx");
    writeCollection(path, entries);
    // Lines the reader skips and text after the second caret.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("a hand-written note\r\n" + entries[0].FileName.toUtf8() + "^again^kept tail\r\n");
    f.close();
    const QByteArray bytes = readWholeFile(path);

    openPath(path);
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors.first().startsWith(QStringLiteral("Cannot open file \"") + entries[1].FileName))
        << fake.errors.first().toStdString();
    EXPECT_EQ(session().entryCount(), 1);
    EXPECT_EQ(mainWindow()->windowTitle(), path + QStringLiteral(" - Pictavo 2006"));
    EXPECT_EQ(panel(1), QStringLiteral("Image: 1 / 1"));
    EXPECT_FALSE(mainWindow()->slot(2)->isEnabled());
    EXPECT_FALSE(mainWindow()->BtnDown()->isEnabled());
    EXPECT_EQ(collectionEditor()->list()->entries(), readCollectionAll(path));

    mainWindow()->newCollection();
    EXPECT_EQ(readWholeFile(path), bytes);
}

TEST_F(Navigation, UnknownKindAndDamagedPicturesGiveTheLibraryMessage)
{
    QFile gif(dir.path() + QStringLiteral("/a.gif"));
    ASSERT_TRUE(gif.open(QIODevice::WriteOnly));
    gif.write("GIF89a");
    gif.close();
    writeFileAtomically(dir.path() + QStringLiteral("/bad.jpg"), QByteArray("this is not a jpeg"));
    writeCollection(dir.path() + QStringLiteral("/g.pvx"), {{gif.fileName(), QStringLiteral("x")}});
    openPath(dir.path() + QStringLiteral("/g.pvx"));
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_EQ(fake.errors.first(), QStringLiteral("Unknown picture file extension (.gif)"));
    EXPECT_EQ(session().entryCount(), 0);
    EXPECT_FALSE(enabled("mnuEffects"));
    EXPECT_EQ(panel(1), QString()) << "no position to tell";
    EXPECT_EQ(panel(2), QString());

    writeCollection(dir.path() + QStringLiteral("/j.pvx"), {{dir.path() + QStringLiteral("/bad.jpg"), {}}});
    openPath(dir.path() + QStringLiteral("/j.pvx"));
    ASSERT_EQ(fake.errors.size(), 2);
    EXPECT_TRUE(fake.errors.last().startsWith(QStringLiteral("JPEG error #"))) << fake.errors.last().toStdString();
}

TEST_F(Navigation, APictureThatFailsWhileScrollingLeavesTheStripScrolled)
{
    const QString path = collectionOf(5);
    openPath(path);
    mainWindow()->toggleFollowMode();
    QFile::remove(session().entry(4).FileName);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    ASSERT_TRUE(fake.errors.isEmpty());
    key(Qt::Key_Down);
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_EQ(session().firstIndex(), 1);
    EXPECT_EQ(mainWindow()->LabelComent()->text(), QStringLiteral("comment 3"));
    // The next step goes on past the broken entry.
    key(Qt::Key_Down);
    EXPECT_EQ(session().currentEntry(), 5);
    EXPECT_EQ(mainWindow()->LabelComent()->text(), QStringLiteral("comment 5"));
}

TEST_F(Navigation, AnEmptyCollectionFileShowsNothingAndDisablesPictureCommands)
{
    openPath(collectionOf(3));
    QFile empty(dir.path() + QStringLiteral("/empty.pvx"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    openPath(empty.fileName());
    EXPECT_TRUE(fake.errors.isEmpty());
    EXPECT_EQ(session().entryCount(), 0);
    EXPECT_EQ(mainWindow()->windowTitle(), empty.fileName() + QStringLiteral(" - Pictavo 2006"));
    EXPECT_TRUE(mainWindow()->Image1()->picture().isEmpty());
    EXPECT_FALSE(mainWindow()->slot(1)->isEnabled());
    EXPECT_FALSE(enabled("mnuEffects"));
    EXPECT_FALSE(enabled("mnuRotateLeft"));
    EXPECT_FALSE(mainWindow()->ShapeCur()->isVisible());
    key(Qt::Key_Return);
    EXPECT_TRUE(fake.errors.isEmpty());
}

// ---- New and Add / Delete on the main window's side

TEST_F(Navigation, NewWritesTheListIntoTheOpenCollectionOnlyWhileItHoldsIt)
{
    const QString path = collectionOf(3);
    openPath(path);
    CollectionListModel* list = collectionEditor()->list();
    list->setData(list->index(0, 1), QStringLiteral("edited"), Qt::EditRole);
    mainWindow()->newCollection();
    EXPECT_EQ(readCollectionAll(path).first().Comment, QStringLiteral("edited"));
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_EQ(collectionEditor()->windowTitle(), QStringLiteral("Create New Collection..."));
    EXPECT_TRUE(session().newCollectionMode);

    // Rows of a new, unsaved collection never replace the open one's entries.
    list->append({dir.path() + QStringLiteral("/p1.jpg"), QStringLiteral("new one")});
    mainWindow()->newCollection();
    EXPECT_EQ(readCollectionAll(path).size(), 3);
}

TEST_F(Navigation, AddDeleteRefillsTheEditorFromTheFile)
{
    const QString path = collectionOf(4);
    openPath(path);
    key(Qt::Key_Down);
    mainWindow()->editCollection();
    EXPECT_EQ(collectionEditor()->windowTitle(), QStringLiteral("Add / Delete Image..."));
    EXPECT_FALSE(session().newCollectionMode);
    EXPECT_FALSE(session().reopenWithoutDialog);
    EXPECT_EQ(fake.openCalls, 0);
    EXPECT_EQ(collectionEditor()->list()->rowCount(), 4);
    EXPECT_EQ(session().currentSlot(), 1);
}

// ---- failures around opens and layouts

// What an open leaves of the undo record: nothing that Ctrl+Z could write.
enum class OpenKind { Another, FirstPictureFails, Cancelled, EditorOk };

class UndoAcrossOpens : public AppFixture, public ::testing::WithParamInterface<OpenKind> {
protected:
    QMap<QString, QByteArray> pictures() const
    {
        QMap<QString, QByteArray> out;
        QDirIterator it(dir.path(), {"*.jpg", "*.bmp"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            out[p] = readWholeFile(p);
        }
        return out;
    }
};

TEST_P(UndoAcrossOpens, CtrlZDoesNothingAfterwards)
{
    openPath(collectionOf(3));
    session().setUndoRecord({Picture::fromBitmap(Bitmap24(5, 4)), 1, 0});
    session().setUndoAvailable(true);
    ASSERT_TRUE(QDir().mkdir(dir.filePath("b")));
    const QString other = testpics::makeCollection(dir.filePath("b"), "b.pvx", 3);

    switch (GetParam()) {
    case OpenKind::Another:
        openPath(other);
        break;
    case OpenKind::FirstPictureFails:
        QFile::remove(dir.filePath("b/p1.jpg"));
        openPath(other);
        break;
    case OpenKind::Cancelled:
        runCommand([] { mainWindow()->openCollectionFile(); });
        break;
    case OpenKind::EditorOk:
        mainWindow()->editCollection();
        collectionEditor()->saveCollection();
        break;
    }
    const auto before = pictures();
    EXPECT_FALSE(enabled("mnuUndo"));
    key(Qt::Key_Z, Qt::ControlModifier);
    runCommand([] { mainWindow()->undo(); });
    EXPECT_EQ(pictures(), before);
}

INSTANTIATE_TEST_SUITE_P(Opens, UndoAcrossOpens,
                         ::testing::Values(OpenKind::Another, OpenKind::FirstPictureFails,
                                           OpenKind::Cancelled, OpenKind::EditorOk));

TEST_F(Navigation, APictureTheLayoutCannotReadIsToldOnceAndTheShowStillFollows)
{
    openPath(collectionOf(3));
    ASSERT_TRUE(QFile::remove(dir.filePath("p2.bmp")));
    for (int w : {700, 720, 740})
        mainWindow()->setOuterSize(w, 600);
    EXPECT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors.value(0).contains("p2.bmp")) << fake.errors.value(0).toStdString();

    // The slide show's switch to full screen lays the strip out again.
    ASSERT_FALSE(session().followsCursor());
    mainWindow()->action("mnuSlideShow")->trigger();
    EXPECT_TRUE(mainWindow()->TimerSlide()->isActive());
    EXPECT_TRUE(mainWindow()->isFullScreenMode());
    EXPECT_TRUE(session().followsCursor());
    mainWindow()->TimerSlide()->stop();
}

TEST_F(Navigation, SlideShowTicksWaitUntilAnOpenHasEnded)
{
    const QString path = collectionOf(8);
    openPath(path);
    if (auto* autoFull = settingsDialog()->findChild<QCheckBox*>("chkAuto"))
        autoFull->setChecked(false);
    mainWindow()->action("mnuSlideShow")->trigger();
    ASSERT_TRUE(mainWindow()->TimerSlide()->isActive());
    mainWindow()->TimerSlide()->setInterval(0);
    // Let the open take a breath after every entry beyond the strip.
    mainWindow()->setOpenSyncTimes(0, 0);
    openPath(path);
    EXPECT_EQ(session().currentEntry(), 1);
    EXPECT_EQ(shapeTop(), 6);
    mainWindow()->TimerSlide()->stop();
}
