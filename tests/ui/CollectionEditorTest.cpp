#include "tests/ui/AppFixture.h"

#include "collection/CollectionListModel.h"
#include "ui/editor/CollectionEditor.h"
#include "core/AtomicFile.h"
#include "tests/support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QTableView>
#include <QUrl>

namespace {

class Editor : public AppFixture {
protected:
    void TearDown() override
    {
        setAtomicWriteFault(AtomicWriteFault::None);
        AppFixture::TearDown();
    }

    CollectionEditor* ed() const { return collectionEditor(); }
    CollectionListModel* list() const { return collectionEditor()->list(); }
    QToolButton* btn(const char* name) const { return collectionEditor()->button(name); }
    void click(const char* name) { QTest::mouseClick(btn(name), Qt::LeftButton); }
    void edKey(QWidget* w, int k) { QTest::keyClick(w, Qt::Key(k)); }

    // A picture of its own size, so the preview tells which one it shows.
    QString pic(const QString& name, int w = 64, int h = 48)
    {
        const QString path = dir.filePath(name);
        return name.endsWith(QLatin1String(".bmp")) ? testpics::writeBmp(path, w, h, w + h)
                                                    : testpics::writeJpeg(path, w, h, w + h);
    }
    void showNew()
    {
        mainWindow()->newCollection();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(ed()));
    }
    void showAddDelete(int n)
    {
        openPath(collectionOf(n));
        mainWindow()->editCollection();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(ed()));
    }
    void add(const QStringList& files)
    {
        fake.openManyAnswers << files;
        click("btnAdd");
    }
    QStringList names() const
    {
        QStringList out;
        for (const CollectionEntry& e : list()->entries())
            out << QFileInfo(e.FileName).fileName();
        return out;
    }
    QSize previewSize() const { return ed()->previewImage().size(); }
    void clickRow(int row)
    {
        QTableView* grid = ed()->ValueListEditor1();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(list()->index(row, 0)).center());
    }
};

// ---- window layout

TEST_F(Editor, DesignSizeAndResizeRulesFollowTheOuterWindowSize)
{
    EXPECT_EQ(ed()->size(), QSize(697, 508));
    EXPECT_EQ(ed()->outerSize(), QSize(705, 539));
    EXPECT_EQ(ed()->ValueListEditor1()->geometry(), QRect(0, 0, 510, 455));
    EXPECT_EQ(ed()->GroupBox1()->geometry(), QRect(0, 459, 510, 49));
    EXPECT_EQ(ed()->Shape1()->geometry(), QRect(513, 5, 175, 175));
    EXPECT_EQ(ed()->ImgPreview()->geometry(), QRect(516, 8, 169, 169));
    EXPECT_EQ(ed()->BtnPanel()->geometry(), QRect(513, 332, 180, 172));

    ed()->setOuterSize(900, 700);
    EXPECT_EQ(ed()->ValueListEditor1()->geometry(), QRect(0, 0, 705, 616));
    EXPECT_EQ(ed()->GroupBox1()->geometry(), QRect(0, 620, 705, 49));
    EXPECT_EQ(ed()->Shape1()->x(), 708);
    EXPECT_EQ(ed()->ImgPreview()->x(), 711);
    EXPECT_EQ(ed()->BtnPanel()->pos(), QPoint(708, 493));

    ed()->setOuterSize(100, 100); // clamped to 500 x 400
    EXPECT_EQ(ed()->outerSize(), QSize(500, 400));
    EXPECT_EQ(ed()->GroupBox1()->y(), 320);
}

TEST_F(Editor, ControlsCarryTheirNamesTitlesAndInitialStates)
{
    for (const char* name : {"btnAdd", "btnDel", "BtnUp", "btnDown", "btnClose", "btnOK", "btnGo"})
        EXPECT_NE(btn(name), nullptr) << name;
    for (const char* name : {"Edit1", "GroupBox1", "BtnPanel", "Shape1", "ImgPreview", "ValueListEditor1"})
        EXPECT_NE(ed()->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(list()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("File Name"));
    EXPECT_EQ(list()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Comment"));
    EXPECT_FALSE(btn("BtnUp")->isEnabled());
    EXPECT_TRUE(btn("btnDown")->isEnabled());
    EXPECT_FALSE(btn("btnDel")->isEnabled());
    EXPECT_EQ(btn("btnAdd")->text(), QStringLiteral("&Add..."));
    // The language loader renames the columns through the model.
    EXPECT_TRUE(list()->setHeaderData(0, Qt::Horizontal, QStringLiteral("Dateiname")));
    EXPECT_EQ(list()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Dateiname"));
}

// ---- Add and the preview

TEST_F(Editor, AddingTheSamePictureTwiceListsItTwiceInDialogOrder)
{
    const QString a = pic(QStringLiteral("a.jpg"), 40, 20);
    const QString b = pic(QStringLiteral("b.bmp"), 20, 40);
    showNew();
    add({b, a});
    add({a});
    EXPECT_EQ(names(), (QStringList{"b.bmp", "a.jpg", "a.jpg"}));
    EXPECT_EQ(list()->entry(1), list()->entry(2));
    EXPECT_TRUE(list()->entry(1).Comment.isEmpty());
    EXPECT_TRUE(btn("btnDel")->isEnabled());
    EXPECT_TRUE(btn("BtnUp")->isEnabled());
    // Row 1's picture (taller than wide) is previewed, scaled up to fit.
    EXPECT_EQ(previewSize(), QSize(84, 169));
    EXPECT_EQ(ed()->selectedRow(), 0);
}

TEST_F(Editor, CancelledAddStillEnablesUpDownAndDeleteAndPreviewsRowOne)
{
    showNew();
    click("BtnUp");
    click("btnDown"); // nothing to move in an empty list
    EXPECT_FALSE(btn("btnDown")->isEnabled());
    add({});
    EXPECT_TRUE(btn("BtnUp")->isEnabled());
    EXPECT_TRUE(btn("btnDown")->isEnabled());
    EXPECT_FALSE(btn("btnDel")->isEnabled()); // nothing to delete yet

    add({pic(QStringLiteral("a.jpg"), 60, 30), pic(QStringLiteral("b.jpg"))});
    clickRow(1);
    ed()->enableDelete(false);
    ed()->clearPreview();
    add({});
    EXPECT_TRUE(btn("btnDel")->isEnabled());
    EXPECT_EQ(previewSize(), QSize(169, 84));
    EXPECT_EQ(list()->entryCount(), 2);
}

TEST_F(Editor, APathHoldingTheFieldSeparatorIsNotListed)
{
    showNew();
    const QString bad = pic(QStringLiteral("a^b.jpg"));
    add({pic(QStringLiteral("good.jpg")), bad});
    EXPECT_EQ(names(), QStringList{"good.jpg"});
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors.first().contains(bad));
    EXPECT_TRUE(btn("btnDel")->isEnabled());
}

TEST_F(Editor, PreviewFitsProportionallyCentredAndReportsUnreadablePictures)
{
    const QString wide = pic(QStringLiteral("wide.bmp"), 400, 100);
    const QString small = pic(QStringLiteral("small.jpg"), 20, 10);
    showNew();
    add({wide, small});
    EXPECT_EQ(ed()->previewRect(), QRect(0, 63, 169, 42));
    clickRow(1); // selecting by mouse previews that row
    EXPECT_EQ(ed()->previewRect(), QRect(0, 42, 169, 84));

    list()->append({dir.filePath(QStringLiteral("missing.jpg")), QStringLiteral("gone")});
    clickRow(2);
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors.first().contains(QStringLiteral("missing.jpg")));
    EXPECT_TRUE(ed()->previewImage().isNull()); // not the previous row's picture
    EXPECT_EQ(list()->entryCount(), 3);
    EXPECT_EQ(ed()->selectedRow(), 2);
}

// ---- Delete

TEST_F(Editor, DeletingTheOnlyEntryEmptiesListAndPreviewAndDisablesDelete)
{
    showNew();
    add({pic(QStringLiteral("a.jpg"))});
    ASSERT_FALSE(ed()->previewImage().isNull());
    click("btnDel");
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_TRUE(ed()->previewImage().isNull());
    EXPECT_FALSE(btn("btnDel")->isEnabled());
    // Enabled by hand on an empty list, Delete changes nothing.
    ed()->enableDelete(true);
    click("btnDel");
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_TRUE(fake.errors.isEmpty());
}

TEST_F(Editor, DeletingKeepsTheRowNumberOrMovesToTheNewLastRow)
{
    showNew();
    add({pic(QStringLiteral("a.jpg"), 10, 40), pic(QStringLiteral("b.jpg"), 40, 10),
         pic(QStringLiteral("c.jpg"), 30, 30), pic(QStringLiteral("d.jpg"), 20, 20)});
    clickRow(1);
    click("btnDel");
    EXPECT_EQ(names(), (QStringList{"a.jpg", "c.jpg", "d.jpg"}));
    EXPECT_EQ(ed()->selectedRow(), 1);
    EXPECT_EQ(previewSize(), QSize(169, 169)); // c

    clickRow(2);
    click("btnDel");
    EXPECT_EQ(names(), (QStringList{"a.jpg", "c.jpg"}));
    EXPECT_EQ(ed()->selectedRow(), 1);
    EXPECT_TRUE(btn("btnDel")->isEnabled());
}

TEST_F(Editor, DeleteKeyWhileTypingACommentDeletesTheEntryAndSparesTheText)
{
    showNew();
    add({pic(QStringLiteral("a.jpg")), pic(QStringLiteral("b.jpg")), pic(QStringLiteral("c.jpg"))});
    clickRow(1);
    QLineEdit* field = ed()->commentEditor();
    ASSERT_NE(field, nullptr);
    QTest::keyClicks(field, QStringLiteral("second"));
    EXPECT_EQ(list()->entry(1).Comment, QStringLiteral("second"));
    list()->setData(list()->index(2, 1), QStringLiteral("third"), Qt::EditRole);
    field->setCursorPosition(0);
    edKey(field, Qt::Key_Delete);
    EXPECT_EQ(names(), (QStringList{"a.jpg", "c.jpg"}));
    EXPECT_EQ(list()->entry(1).Comment, QStringLiteral("third"));
    ASSERT_NE(ed()->commentEditor(), nullptr);
    EXPECT_EQ(ed()->commentEditor()->text(), QStringLiteral("third"));

    // With Delete disabled the key belongs to the field again.
    ed()->enableDelete(false);
    ed()->commentEditor()->setCursorPosition(0);
    edKey(ed()->commentEditor(), Qt::Key_Delete);
    EXPECT_EQ(list()->entryCount(), 2);
    EXPECT_EQ(list()->entry(1).Comment, QStringLiteral("hird"));
}

TEST_F(Editor, TheListsFocusIsTheCommentFieldAndRowKeysMoveThroughTheList)
{
    showNew();
    add({pic(QStringLiteral("a.jpg"), 64, 48), pic(QStringLiteral("b.jpg"), 48, 64),
         pic(QStringLiteral("c.jpg"))});
    ed()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(ed()));
    ed()->Edit1()->setFocus();
    ed()->ValueListEditor1()->setFocus(Qt::TabFocusReason);
    QLineEdit* field = ed()->commentEditor();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(QApplication::focusWidget(), field);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("b"));
    EXPECT_EQ(list()->entry(0).Comment, QStringLiteral("b")); // not a jump to "b.jpg"
    EXPECT_EQ(ed()->selectedRow(), 0);

    edKey(field, Qt::Key_Down);
    EXPECT_EQ(ed()->selectedRow(), 1);
    EXPECT_EQ(previewSize(), QSize(126, 169));
    ASSERT_NE(ed()->commentEditor(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), ed()->commentEditor());
    edKey(ed()->commentEditor(), Qt::Key_Up);
    EXPECT_EQ(ed()->selectedRow(), 0);
    EXPECT_EQ(ed()->commentEditor()->text(), QStringLiteral("b"));
    EXPECT_EQ(list()->entryCount(), 3);
}

// ---- Up and Down

TEST_F(Editor, UpOnRowOneAndDownOnTheLastRowDisableThemselvesAndMoveNothing)
{
    showNew();
    add({pic(QStringLiteral("a.jpg")), pic(QStringLiteral("b.jpg")), pic(QStringLiteral("c.jpg"))});
    click("BtnUp");
    EXPECT_FALSE(btn("BtnUp")->isEnabled());
    EXPECT_EQ(names(), (QStringList{"a.jpg", "b.jpg", "c.jpg"}));

    clickRow(2);
    click("btnDown");
    EXPECT_FALSE(btn("btnDown")->isEnabled());
    EXPECT_EQ(names(), (QStringList{"a.jpg", "b.jpg", "c.jpg"}));
    // Selecting another row enables neither.
    clickRow(1);
    EXPECT_FALSE(btn("BtnUp")->isEnabled());
    EXPECT_FALSE(btn("btnDown")->isEnabled());
}

TEST_F(Editor, UpAndDownCarryTheEntryWithItsCommentAndReenableTheOther)
{
    showNew();
    add({pic(QStringLiteral("a.jpg")), pic(QStringLiteral("b.jpg"), 10, 50), pic(QStringLiteral("c.jpg"))});
    clickRow(2);
    click("btnDown"); // disables Down
    clickRow(1);
    QTest::keyClicks(ed()->commentEditor(), QStringLiteral("bee"));
    click("BtnUp");
    EXPECT_EQ(names(), (QStringList{"b.jpg", "a.jpg", "c.jpg"}));
    EXPECT_EQ(list()->entry(0).Comment, QStringLiteral("bee"));
    EXPECT_EQ(ed()->selectedRow(), 0);
    EXPECT_TRUE(btn("btnDown")->isEnabled());
    EXPECT_EQ(previewSize().width(), 33); // b is narrow: 169 * 10 / 50
    ASSERT_NE(ed()->commentEditor(), nullptr);
    EXPECT_EQ(ed()->commentEditor()->text(), QStringLiteral("bee"));

    click("btnDown");
    click("btnDown");
    EXPECT_EQ(names(), (QStringList{"a.jpg", "c.jpg", "b.jpg"}));
    EXPECT_EQ(ed()->selectedRow(), 2);
    EXPECT_TRUE(btn("BtnUp")->isEnabled());
}

// ---- Find

TEST_F(Editor, FindSearchesCommentsOnlyCaseBlindForwardWithoutWrap)
{
    showNew();
    add({pic(QStringLiteral("apple.jpg")), pic(QStringLiteral("b.jpg")), pic(QStringLiteral("c.jpg")),
         pic(QStringLiteral("d.jpg"))});
    list()->setData(list()->index(0, 1), QStringLiteral("Äpfel am Baum"), Qt::EditRole);
    list()->setData(list()->index(1, 1), QStringLiteral("nothing"), Qt::EditRole);
    list()->setData(list()->index(2, 1), QStringLiteral("ÄPFEL im Korb"), Qt::EditRole);
    list()->setData(list()->index(3, 1), QStringLiteral("äpfel, wieder"), Qt::EditRole);

    QLineEdit* edit1 = ed()->Edit1();
    click("btnGo"); // empty text matches nothing
    EXPECT_EQ(ed()->selectedRow(), 0);

    edit1->setText(QStringLiteral("apple")); // only in a file name
    click("btnGo");
    EXPECT_EQ(ed()->selectedRow(), 0);

    edit1->setText(QStringLiteral("äPfEl"));
    edKey(edit1, Qt::Key_Return); // Enter in Edit1 is Find, not OK
    EXPECT_EQ(ed()->selectedRow(), 2);
    EXPECT_TRUE(ed()->isVisible());
    EXPECT_EQ(fake.saveCalls, 0);
    EXPECT_TRUE(fake.infos.isEmpty());
    ASSERT_NE(ed()->commentEditor(), nullptr);
    EXPECT_TRUE(ed()->commentEditor()->hasFocus() || ed()->focusWidget() == ed()->commentEditor());

    click("btnGo");
    EXPECT_EQ(ed()->selectedRow(), 3);
    click("btnGo"); // from the last row: no wrap to row 1
    EXPECT_EQ(ed()->selectedRow(), 3);
    EXPECT_TRUE(fake.infos.isEmpty());
}

// ---- OK, Close and Esc

TEST_F(Editor, EnterWhileTypingACommentSavesAndClosesTheEditor)
{
    showAddDelete(3);
    const QString path = session().collectionFileName();
    clickRow(1);
    QLineEdit* field = ed()->commentEditor();
    ASSERT_NE(field, nullptr);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("typed here"));
    edKey(field, Qt::Key_Return);
    EXPECT_FALSE(ed()->isVisible());
    EXPECT_FALSE(session().reopenWithoutDialog);
    EXPECT_EQ(fake.saveCalls, 0);
    const QList<CollectionEntry> saved = readCollectionAll(path);
    ASSERT_EQ(saved.size(), 3);
    EXPECT_EQ(saved[1].Comment, QStringLiteral("typed here"));
    EXPECT_EQ(saved[0].Comment, QStringLiteral("comment 1"));
    // The main window read it again.
    EXPECT_EQ(session().entry(2).Comment, QStringLiteral("typed here"));
    EXPECT_EQ(list()->entry(1).Comment, QStringLiteral("typed here"));
    EXPECT_TRUE(fake.errors.isEmpty());
}

TEST_F(Editor, CommentsRefuseTheFieldSeparator)
{
    showNew();
    add({pic(QStringLiteral("a.jpg"))});
    QTest::keyClicks(ed()->commentEditor(), QStringLiteral("a^b"));
    EXPECT_EQ(list()->entry(0).Comment, QStringLiteral("ab"));
}

TEST_F(Editor, OkOnAnEmptyListShowsTheMessageAndStaysOpen)
{
    showAddDelete(1);
    EXPECT_FALSE(ed()->previewImage().isNull()); // Add / Delete previews row 1
    const QByteArray before = fileBytes(session().collectionFileName());
    click("btnDel");
    ASSERT_EQ(list()->rowCount(), 0);
    click("btnOK");
    EXPECT_EQ(fake.infos, QStringList{QStringLiteral("Collection must contains as minimum one image.")});
    EXPECT_TRUE(ed()->isVisible());
    EXPECT_EQ(fileBytes(session().collectionFileName()), before);
    EXPECT_EQ(fake.saveCalls, 0);
}

TEST_F(Editor, CancelledSaveDialogReadsTheCollectionOpenBefore)
{
    const QString before = collectionOf(3);
    openPath(before);
    const QString added = pic(QStringLiteral("new.jpg"));
    const QStringList filesBefore = QDir(dir.path()).entryList(QDir::Files);
    showNew();
    add({added});
    fake.saveAnswers << QString();
    click("btnOK");
    EXPECT_EQ(fake.saveCalls, 1);
    EXPECT_FALSE(ed()->isVisible());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), filesBefore);
    EXPECT_EQ(session().collectionFileName(), before);
    EXPECT_EQ(list()->entryCount(), 3);
    EXPECT_EQ(list()->entry(0).Comment, QStringLiteral("comment 1"));
    EXPECT_FALSE(session().reopenWithoutDialog);
}

TEST_F(Editor, SavingANewCollectionNamesItOpensItAndEnablesAddDelete)
{
    showNew();
    ASSERT_FALSE(enabled("mnuAdd"));
    add({pic(QStringLiteral("a.jpg")), pic(QStringLiteral("b.bmp"))});
    QTest::keyClicks(ed()->commentEditor(), QStringLiteral("first"));
    fake.saveAnswers << dir.filePath(QStringLiteral("holiday"));
    click("btnOK");
    const QString path = dir.filePath(QStringLiteral("holiday.pvx"));
    EXPECT_EQ(session().collectionFileName(), path);
    EXPECT_EQ(fileBytes(path), dir.filePath(QStringLiteral("a.jpg")).toUtf8() + "^first^\r\n" +
                                   dir.filePath(QStringLiteral("b.bmp")).toUtf8() + "^^\r\n");
    EXPECT_EQ(session().entryCount(), 2);
    EXPECT_TRUE(enabled("mnuAdd"));
    EXPECT_TRUE(enabled("btnAdd"));
    EXPECT_TRUE(enabled("AddDeleteimage1"));
    EXPECT_FALSE(ed()->isVisible());
    EXPECT_TRUE(fake.errors.isEmpty());
}

TEST_F(Editor, CloseEscAndTheCloseBoxWithdrawTheReopenRequestAndKeepEdits)
{
    showNew();
    add({pic(QStringLiteral("a.jpg"))});
    QTest::keyClicks(ed()->commentEditor(), QStringLiteral("kept"));

    session().reopenWithoutDialog = true;
    click("btnClose");
    EXPECT_FALSE(ed()->isVisible());
    EXPECT_FALSE(session().reopenWithoutDialog);

    ed()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ed()));
    session().reopenWithoutDialog = true;
    edKey(ed()->Edit1(), Qt::Key_Escape);
    EXPECT_FALSE(ed()->isVisible());
    EXPECT_FALSE(session().reopenWithoutDialog);

    ed()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ed()));
    session().reopenWithoutDialog = true;
    ed()->close();
    EXPECT_FALSE(ed()->isVisible());
    EXPECT_FALSE(session().reopenWithoutDialog);
    EXPECT_EQ(list()->entry(0).Comment, QStringLiteral("kept"));
    EXPECT_TRUE(btn("btnDel")->isEnabled());
}

// ---- New on the main window

TEST_F(Editor, NewWritesTheEditedListIntoTheOpenCollection)
{
    showAddDelete(3);
    const QString path = session().collectionFileName();
    add({}); // enables Up
    clickRow(2);
    click("BtnUp");
    ed()->commentEditor()->selectAll();
    QTest::keyClicks(ed()->commentEditor(), QStringLiteral("moved"));
    click("btnClose");
    mainWindow()->newCollection();
    const QList<CollectionEntry> saved = readCollectionAll(path);
    ASSERT_EQ(saved.size(), 3);
    EXPECT_EQ(saved[1].Comment, QStringLiteral("moved"));
    EXPECT_EQ(QFileInfo(saved[1].FileName).fileName(), QStringLiteral("p3.jpg"));
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_TRUE(ed()->previewImage().isNull());
}

TEST_F(Editor, NewAfterEveryRowWasDeletedLeavesTheFileAlone)
{
    showAddDelete(2);
    const QString path = session().collectionFileName();
    const QByteArray before = fileBytes(path);
    click("btnDel");
    click("btnDel");
    ASSERT_EQ(list()->rowCount(), 0);
    edKey(ed()->Edit1(), Qt::Key_Escape);
    mainWindow()->newCollection();
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_TRUE(fake.errors.isEmpty());
}

// ---- Nothing lost

TEST_F(Editor, AWindowsCollectionKeepsItsCodePageUntilACommentDoesNotFit)
{
    destroyWindows();
    QFile ini(dir.filePath("pictavo.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Settings]\r\nCodePage=windows-1251\r\n");
    ini.close();
    createWindows({});

    const QByteArray a = pic("a.jpg").toUtf8(), b = pic("b.bmp").toUtf8(), c = pic("c.jpg").toUtf8();
    const QString path = dir.filePath("trip.pvx");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(a + "^\xCC\xEE\xE9 \xEE\xF2\xEF\xF3\xF1\xEA^\r\n" + b + "^\xC4\xE5\xED\xFC 2^\r\n" + c +
            "^^\r\n");
    f.close();
    openPath(path);
    EXPECT_EQ(session().entry(1).Comment, "Мой отпуск");

    // Add / Delete, then OK: still windows-1251.
    mainWindow()->editCollection();
    ed()->selectRow(1);
    click("btnDel");
    click("btnOK");
    EXPECT_EQ(fileBytes(path), a + "^\xCC\xEE\xE9 \xEE\xF2\xEF\xF3\xF1\xEA^\r\n" + c + "^^\r\n");

    // A comment the code page can't hold makes the file UTF-8.
    mainWindow()->editCollection();
    list()->setData(list()->index(1, 1), QStringLiteral("Мой ✓"), Qt::EditRole);
    click("btnOK");
    EXPECT_EQ(fileBytes(path),
              a + "^\xD0\x9C\xD0\xBE\xD0\xB9 \xD0\xBE\xD1\x82\xD0\xBF\xD1\x83\xD1\x81\xD0\xBA^\r\n" + c +
                  "^\xD0\x9C\xD0\xBE\xD0\xB9 \xE2\x9C\x93^\r\n");
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join('\n').toStdString();
}

TEST_F(Editor, AFailedWriteKeepsTheEditorItsListAndTheOldFile)
{
    showAddDelete(3);
    const QString path = session().collectionFileName();
    const QByteArray before = fileBytes(path);
    click("btnDel");
    const QList<CollectionEntry> edited = list()->entries();
    ASSERT_EQ(edited.size(), 2);

    for (AtomicWriteFault step :
         {AtomicWriteFault::Open, AtomicWriteFault::Write, AtomicWriteFault::Commit}) {
        fake.errors.clear();
        setAtomicWriteFault(step, 28 /* ENOSPC */);
        click("btnOK");
        EXPECT_EQ(fake.errors.size(), 1);
        EXPECT_TRUE(ed()->isVisible());
        EXPECT_EQ(list()->entries(), edited);
        EXPECT_EQ(fileBytes(path), before);
        EXPECT_FALSE(session().reopenWithoutDialog);
        EXPECT_EQ(session().entryCount(), 3); // nothing was re-read
    }
    setAtomicWriteFault(AtomicWriteFault::None);
    click("btnOK");
    EXPECT_FALSE(ed()->isVisible());
    EXPECT_EQ(readCollectionAll(path), edited);
}

TEST_F(Editor, ANewCollectionInAMissingFolderIsNotAdopted)
{
    const QString open = collectionOf(2);
    openPath(open);
    showNew();
    add({pic(QStringLiteral("a.jpg"))});
    fake.saveAnswers << dir.filePath(QStringLiteral("no/such/folder/x.pvx"));
    click("btnOK");
    EXPECT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(ed()->isVisible());
    EXPECT_EQ(session().collectionFileName(), open);
    EXPECT_EQ(names(), QStringList{"a.jpg"});
    EXPECT_FALSE(session().reopenWithoutDialog);
}

// ---- Drag and drop

class EditorDrop : public Editor {
protected:
    // Sends the drag-enter and, when accepted, the drop; answers whether the
    // list took it.
    bool drop(const QStringList& paths, Qt::DropAction proposed = Qt::CopyAction)
    {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        mime.setUrls(urls);
        QWidget* target = ed()->ValueListEditor1()->viewport();
        const QPointF at(10, 10);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        enter.setDropAction(proposed);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        dropped.setDropAction(proposed);
        QApplication::sendEvent(target, &dropped);
        lastAction = dropped.dropAction();
        return dropped.isAccepted();
    }
    Qt::DropAction lastAction = Qt::IgnoreAction;
};

TEST_F(EditorDrop, TwoPicturesAreAddedInDropOrderLikeAdd)
{
    showNew();
    const QString b = pic(QStringLiteral("b.bmp"), 30, 60);
    const QString a = pic(QStringLiteral("a.JPG"));
    EXPECT_TRUE(drop({b, a}, Qt::MoveAction));
    EXPECT_EQ(lastAction, Qt::CopyAction); // never lets the source be removed
    EXPECT_EQ(names(), (QStringList{"b.bmp", "a.JPG"}));
    EXPECT_TRUE(btn("btnDel")->isEnabled());
    EXPECT_TRUE(btn("BtnUp")->isEnabled());
    EXPECT_EQ(previewSize(), QSize(84, 169));
    EXPECT_TRUE(QFile::exists(b));
}

TEST_F(EditorDrop, OtherFilesAreRefusedQuietly)
{
    showNew();
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("hello");
    f.close();
    QDir(dir.path()).mkdir(QStringLiteral("folder.jpg"));
    EXPECT_FALSE(drop({text}));
    EXPECT_FALSE(drop({dir.filePath(QStringLiteral("folder.jpg"))}));
    EXPECT_FALSE(drop({dir.filePath(QStringLiteral("gone.jpg"))}));
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_FALSE(btn("btnDel")->isEnabled());
    EXPECT_TRUE(fake.errors.isEmpty());
    EXPECT_TRUE(fake.infos.isEmpty());

    // In a mixed drop only the pictures are taken.
    EXPECT_TRUE(drop({text, pic(QStringLiteral("a.jpg"))}));
    EXPECT_EQ(names(), QStringList{"a.jpg"});
}

// ---- Start-up

TEST_F(Editor, CommandLineArgumentsJoinIntoTheCollectionOpenedAtCreation)
{
    const QString path = collectionOf(2, QStringLiteral("my pictures.pvx"));
    destroyWindows();
    createWindows(path.split(QLatin1Char(' ')));
    EXPECT_EQ(session().collectionFileName(), path);
    EXPECT_EQ(session().entryCount(), 2);
    EXPECT_FALSE(session().reopenWithoutDialog);
    EXPECT_EQ(list()->entryCount(), 2);
    EXPECT_FALSE(ed()->isVisible());
    EXPECT_EQ(fake.openCalls, 0);
}

// Not a check: draws the editor holding the demo collection when
// PV_EDITOR_SCREENSHOT names the file to write.
TEST_F(Editor, Screenshot)
{
    const QString out = qEnvironmentVariable("PV_EDITOR_SCREENSHOT");
    if (out.isEmpty())
        GTEST_SKIP() << "PV_EDITOR_SCREENSHOT not set";
    openPath(QStringLiteral(PV_BINARY_DIR "/demo/Demo.pvx"));
    ASSERT_GT(session().entryCount(), 0);
    mainWindow()->editCollection();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ed()));
    ed()->Edit1()->setText(QStringLiteral("sea"));
    clickRow(1);
    QTest::qWait(200);
    ASSERT_TRUE(ed()->grab().save(out));
}

} // namespace
