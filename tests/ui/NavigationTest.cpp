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
    EXPECT_EQ(Viewer.EntryCount, 5);
    EXPECT_EQ(Viewer.FirstIndex, 0);
    EXPECT_EQ(Viewer.CurrentSlot, 1);
    EXPECT_EQ(frmMain->windowTitle(), path + QStringLiteral(" - Pictavo 2006"));
    EXPECT_EQ(panel(1), QStringLiteral("Image: 1 / 5"));
    EXPECT_EQ(panel(2), Viewer.entry(1).FileName);
    EXPECT_EQ(frmMain->LabelComent()->text(), QStringLiteral("comment 1"));
    EXPECT_TRUE(frmMain->ShapeCur()->isVisible());
    EXPECT_EQ(shapeTop(), 6);
    EXPECT_TRUE(frmMain->Image1()->picture().sharesDataWith(frmMain->slot(1)->picture()));
    EXPECT_EQ(frmNewCollection->list()->rowCount(), 5);
    EXPECT_EQ(frmNewCollection->list()->entry(4).Comment, QStringLiteral("comment 5"));
    EXPECT_FALSE(frmMain->BtnUp()->isEnabled());
    EXPECT_TRUE(frmMain->BtnDown()->isEnabled());
}

TEST_F(Navigation, OneEntryKeepsBothButtonsDisabled)
{
    openPath(collectionOf(1));
    EXPECT_FALSE(frmMain->BtnUp()->isEnabled());
    EXPECT_FALSE(frmMain->BtnDown()->isEnabled());
    for (int k : {Qt::Key_Down, Qt::Key_Space, Qt::Key_Up, Qt::Key_Backspace})
        key(k);
    EXPECT_EQ(Viewer.currentEntry(), 1);
    EXPECT_FALSE(frmMain->slot(2)->isEnabled());
    EXPECT_TRUE(frmMain->slot(2)->picture().isEmpty());
}

TEST_F(Navigation, AsManyEntriesAsSlotsMovesOnlyTheHighlight)
{
    openPath(collectionOf(3));
    EXPECT_TRUE(frmMain->BtnDown()->isEnabled());
    key(Qt::Key_Down);
    key(Qt::Key_Space);
    EXPECT_EQ(Viewer.CurrentSlot, 3);
    EXPECT_EQ(shapeTop(), 6 + 2 * 153);
    EXPECT_FALSE(frmMain->BtnDown()->isEnabled());
    key(Qt::Key_Down);
    EXPECT_EQ(Viewer.CurrentSlot, 3);
    EXPECT_EQ(Viewer.FirstIndex, 0);
}

TEST_F(Navigation, TwelveEntriesThroughThreeSlotsToTheEndAndBack)
{
    openPath(collectionOf(12));
    frmMain->toggleFollowMode();
    for (int i = 0; i < 11; ++i)
        key(Qt::Key_Down);
    EXPECT_EQ(Viewer.FirstIndex, 9);
    EXPECT_EQ(Viewer.CurrentSlot, 3);
    EXPECT_EQ(panel(1), QStringLiteral("Image: 12 / 12"));
    EXPECT_EQ(frmMain->LabelComent()->text(), QStringLiteral("comment 12"));
    EXPECT_FALSE(frmMain->BtnDown()->isEnabled());
    EXPECT_TRUE(frmMain->BtnUp()->isEnabled());
    // Each slot shows the entry it stands for.
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(frmMain->slot(i)->hint(), QStringLiteral("comment %1").arg(9 + i));

    key(Qt::Key_Up);
    EXPECT_EQ(Viewer.FirstIndex, 9);
    EXPECT_EQ(Viewer.CurrentSlot, 2);
    EXPECT_TRUE(frmMain->BtnDown()->isEnabled());

    for (int i = 0; i < 10; ++i)
        key(Qt::Key_Backspace);
    EXPECT_EQ(Viewer.FirstIndex, 0);
    EXPECT_EQ(Viewer.CurrentSlot, 1);
    EXPECT_FALSE(frmMain->BtnUp()->isEnabled());
    EXPECT_EQ(panel(1), QStringLiteral("Image: 1 / 12"));
    EXPECT_EQ(frmMain->slot(1)->hint(), QStringLiteral("comment 1"));
    EXPECT_EQ(frmMain->slot(3)->hint(), QStringLiteral("comment 3"));
}

TEST_F(Navigation, FollowModeOffMovesOnlyTheStripUntilEnter)
{
    openPath(collectionOf(5));
    ASSERT_FALSE(Viewer.FollowsCursor);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    key(Qt::Key_Down); // scrolls
    EXPECT_EQ(Viewer.currentEntry(), 4);
    EXPECT_EQ(frmMain->LabelComent()->text(), QStringLiteral("comment 1"));
    EXPECT_EQ(panel(1), QStringLiteral("Image: 1 / 5"));
    key(Qt::Key_Return);
    EXPECT_EQ(frmMain->LabelComent()->text(), QStringLiteral("comment 4"));
    EXPECT_EQ(panel(1), QStringLiteral("Image: 4 / 5"));
    EXPECT_TRUE(frmMain->Image1()->picture().sharesDataWith(frmMain->slot(3)->picture()));
    EXPECT_EQ(Viewer.FirstIndex, 1);
}

TEST_F(Navigation, FollowToggleKeepsMenuAndButtonInStep)
{
    QAction* menu = frmMain->action("mnuFollows");
    QToolButton* button = frmMain->toolButton("btnFollow");
    menu->trigger();
    EXPECT_TRUE(Viewer.FollowsCursor);
    EXPECT_TRUE(menu->isChecked());
    EXPECT_TRUE(button->isChecked());
    button->click();
    EXPECT_FALSE(Viewer.FollowsCursor);
    EXPECT_FALSE(menu->isChecked());
    EXPECT_FALSE(button->isChecked());
}

TEST_F(Navigation, SlotClickShowsTheSlotAndResetsAsIs)
{
    openPath(collectionOf(5));
    frmMain->stretchToFit();
    frmMain->zoomIn();
    ASSERT_FALSE(frmMain->Image1()->autoSize());
    QTest::mouseClick(frmMain->slot(2), Qt::LeftButton);
    EXPECT_TRUE(frmMain->Image1()->autoSize());
    EXPECT_FALSE(frmMain->Image1()->stretch());
    EXPECT_EQ(Viewer.CurrentSlot, 2);
    EXPECT_EQ(shapeTop(), 6 + 153);
    EXPECT_EQ(frmMain->LabelComent()->text(), QStringLiteral("comment 2"));
    EXPECT_EQ(panel(1), QStringLiteral("Image: 2 / 5"));
    EXPECT_TRUE(frmMain->BtnUp()->isEnabled());
    EXPECT_TRUE(frmMain->BtnDown()->isEnabled());
}

TEST_F(Navigation, CancelledOpenDialogReadsTheOpenCollectionAgain)
{
    const QString path = collectionOf(5);
    openPath(path);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    fake.openAnswers = {QString()};
    frmMain->action("mnuOpen")->trigger();
    EXPECT_EQ(fake.openCalls, 1);
    EXPECT_EQ(Viewer.CollectionFileName, path);
    EXPECT_EQ(Viewer.FirstIndex, 0);
    EXPECT_EQ(Viewer.CurrentSlot, 1);
    EXPECT_EQ(frmMain->slot(1)->hint(), QStringLiteral("comment 1"));
}

TEST_F(Navigation, FewerEntriesThanBeforeLeaveLowerSlotsEmptyAndDisabled)
{
    openPath(collectionOf(5));
    fake.openAnswers = {testpics::makeCollection(dir.path(), QStringLiteral("one.pvx"), 1)};
    frmMain->openCollectionFile();
    EXPECT_EQ(Viewer.EntryCount, 1);
    EXPECT_EQ(frmNewCollection->list()->rowCount(), 1);
    for (int i = 2; i <= 3; ++i) {
        EXPECT_FALSE(frmMain->slot(i)->isEnabled());
        EXPECT_TRUE(frmMain->slot(i)->picture().isEmpty());
    }
}

TEST_F(Navigation, CommandLinePathWithBlanksOpensAsOnePath)
{
    QDir().mkpath(dir.path() + QStringLiteral("/my pictures"));
    const QString path = testpics::makeCollection(dir.path() + QStringLiteral("/my pictures"), "two words.pvx", 2);
    destroyWindows();
    createWindows(path.split(QLatin1Char(' ')));
    EXPECT_EQ(Viewer.CollectionFileName, path);
    EXPECT_EQ(Viewer.EntryCount, 2);
    EXPECT_TRUE(fake.errors.isEmpty());
}

TEST_F(Navigation, BeforeAnyOpenTheNavigationKeysDoNothingButKeypadZooms)
{
    for (int k : {Qt::Key_Down, Qt::Key_Space, Qt::Key_Up, Qt::Key_Backspace, Qt::Key_Return})
        key(k);
    EXPECT_EQ(Viewer.EntryCount, 0);
    EXPECT_TRUE(fake.errors.isEmpty());
    key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(frmMain->ZoomStep(), 10);
    key(Qt::Key_Plus); // the main keyboard's plus is not a zoom key
    EXPECT_EQ(frmMain->ZoomStep(), 10);
}

// ---- failures

TEST_F(Navigation, AMissingCollectionFileChangesNothing)
{
    const QString path = collectionOf(5);
    openPath(path);
    key(Qt::Key_Down);
    fake.openAnswers = {dir.path() + QStringLiteral("/nothing.pvx")};
    frmMain->action("mnuOpen")->trigger();
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors.first().startsWith(QStringLiteral("File not found"))) << fake.errors.first().toStdString();
    EXPECT_EQ(Viewer.CollectionFileName, path);
    EXPECT_EQ(Viewer.EntryCount, 5);
    EXPECT_EQ(Viewer.CurrentSlot, 2);
    EXPECT_EQ(frmNewCollection->list()->rowCount(), 5);
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
    EXPECT_EQ(Viewer.EntryCount, 1);
    EXPECT_EQ(frmMain->windowTitle(), path + QStringLiteral(" - Pictavo 2006"));
    EXPECT_EQ(panel(1), QStringLiteral("Image: 1 / 1"));
    EXPECT_FALSE(frmMain->slot(2)->isEnabled());
    EXPECT_FALSE(frmMain->BtnDown()->isEnabled());
    EXPECT_EQ(frmNewCollection->list()->entries(), readCollectionAll(path));

    frmMain->newCollection();
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
    EXPECT_EQ(Viewer.EntryCount, 0);
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
    frmMain->toggleFollowMode();
    QFile::remove(Viewer.entry(4).FileName);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    ASSERT_TRUE(fake.errors.isEmpty());
    key(Qt::Key_Down);
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_EQ(Viewer.FirstIndex, 1);
    EXPECT_EQ(frmMain->LabelComent()->text(), QStringLiteral("comment 3"));
    // The next step goes on past the broken entry.
    key(Qt::Key_Down);
    EXPECT_EQ(Viewer.currentEntry(), 5);
    EXPECT_EQ(frmMain->LabelComent()->text(), QStringLiteral("comment 5"));
}

TEST_F(Navigation, AnEmptyCollectionFileShowsNothingAndDisablesPictureCommands)
{
    openPath(collectionOf(3));
    QFile empty(dir.path() + QStringLiteral("/empty.pvx"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    openPath(empty.fileName());
    EXPECT_TRUE(fake.errors.isEmpty());
    EXPECT_EQ(Viewer.EntryCount, 0);
    EXPECT_EQ(frmMain->windowTitle(), empty.fileName() + QStringLiteral(" - Pictavo 2006"));
    EXPECT_TRUE(frmMain->Image1()->picture().isEmpty());
    EXPECT_FALSE(frmMain->slot(1)->isEnabled());
    EXPECT_FALSE(enabled("mnuEffects"));
    EXPECT_FALSE(enabled("mnuRotateLeft"));
    EXPECT_FALSE(frmMain->ShapeCur()->isVisible());
    key(Qt::Key_Return);
    EXPECT_TRUE(fake.errors.isEmpty());
}

// ---- New and Add / Delete on the main window's side

TEST_F(Navigation, NewWritesTheListIntoTheOpenCollectionOnlyWhileItHoldsIt)
{
    const QString path = collectionOf(3);
    openPath(path);
    CollectionListModel* list = frmNewCollection->list();
    list->setData(list->index(0, 1), QStringLiteral("edited"), Qt::EditRole);
    frmMain->newCollection();
    EXPECT_EQ(readCollectionAll(path).first().Comment, QStringLiteral("edited"));
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_EQ(frmNewCollection->windowTitle(), QStringLiteral("Create New Collection..."));
    EXPECT_TRUE(Viewer.NewCollectionMode);

    // Rows of a new, unsaved collection never replace the open one's entries.
    list->append({dir.path() + QStringLiteral("/p1.jpg"), QStringLiteral("new one")});
    frmMain->newCollection();
    EXPECT_EQ(readCollectionAll(path).size(), 3);
}

TEST_F(Navigation, AddDeleteRefillsTheEditorFromTheFile)
{
    const QString path = collectionOf(4);
    openPath(path);
    key(Qt::Key_Down);
    frmMain->editCollection();
    EXPECT_EQ(frmNewCollection->windowTitle(), QStringLiteral("Add / Delete Image..."));
    EXPECT_FALSE(Viewer.NewCollectionMode);
    EXPECT_FALSE(Viewer.ReopenWithoutDialog);
    EXPECT_EQ(fake.openCalls, 0);
    EXPECT_EQ(frmNewCollection->list()->rowCount(), 4);
    EXPECT_EQ(Viewer.CurrentSlot, 1);
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
    frmMain->undoPicture = Picture::fromBitmap(Bitmap24(5, 4));
    frmMain->undoSlot = 1;
    frmMain->undoFirstIndex = 0;
    frmMain->setUndoEnabled(true);
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
        runCommand([] { frmMain->openCollectionFile(); });
        break;
    case OpenKind::EditorOk:
        frmMain->editCollection();
        frmNewCollection->saveCollection();
        break;
    }
    const auto before = pictures();
    EXPECT_FALSE(enabled("mnuUndo"));
    key(Qt::Key_Z, Qt::ControlModifier);
    runCommand([] { frmMain->undo(); });
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
        frmMain->setOuterSize(w, 600);
    EXPECT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors.value(0).contains("p2.bmp")) << fake.errors.value(0).toStdString();

    // The slide show's switch to full screen lays the strip out again.
    ASSERT_FALSE(Viewer.FollowsCursor);
    frmMain->action("mnuSlideShow")->trigger();
    EXPECT_TRUE(frmMain->TimerSlide()->isActive());
    EXPECT_TRUE(frmMain->isFullScreenMode());
    EXPECT_TRUE(Viewer.FollowsCursor);
    frmMain->TimerSlide()->stop();
}

TEST_F(Navigation, SlideShowTicksWaitUntilAnOpenHasEnded)
{
    const QString path = collectionOf(8);
    openPath(path);
    if (auto* autoFull = frmSettings->findChild<QCheckBox*>("chkAuto"))
        autoFull->setChecked(false);
    frmMain->action("mnuSlideShow")->trigger();
    ASSERT_TRUE(frmMain->TimerSlide()->isActive());
    frmMain->TimerSlide()->setInterval(0);
    // Let the open take a breath after every entry beyond the strip.
    frmMain->setOpenSyncTimes(0, 0);
    openPath(path);
    EXPECT_EQ(Viewer.currentEntry(), 1);
    EXPECT_EQ(shapeTop(), 6);
    frmMain->TimerSlide()->stop();
}
