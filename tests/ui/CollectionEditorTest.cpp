#include "tests/ui/AppFixture.h"

#include "collection/CollectionListModel.h"
#include "tests/support/FileBytes.h"
#include "tests/support/KindPictures.h"
#include "tests/support/WriteFaults.h"
#include "ui/editor/CollectionEditor.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTableView>

namespace {

class Editor : public AppFixture {
protected:
    CollectionEditor* ed() const { return collectionEditor(); }
    CollectionListModel* list() const { return collectionEditor()->list(); }
    QToolButton* btn(const char* name) const
    {
        return collectionEditor()->findChild<QToolButton*>(QString::fromLatin1(name));
    }
    void click(const char* name) { QTest::mouseClick(btn(name), Qt::LeftButton); }

    QString pic(const QString& name)
    {
        const QString path = dir.filePath(name);
        return name.endsWith(QLatin1String(".bmp")) ? testpics::writeBmp(path, 64, 48, 1)
                                                    : testpics::writeJpeg(path, 64, 48, 1);
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
            out << QFileInfo(e.path).fileName();
        return out;
    }
    void clickRow(int row)
    {
        QTableView* grid = ed()->grid();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(list()->index(row, 0)).center());
    }
    void typeComment(const QString& text)
    {
        ASSERT_NE(ed()->commentEditor(), nullptr);
        ed()->commentEditor()->selectAll();
        QTest::keyClicks(ed()->commentEditor(), text);
    }
};

// ---- Add and the preview

// Add lists in the dialog's order and selects row one; its dialog offers
// all pictures first, then each kind, and the preview shows any of them or
// tells why not (not keeping the previous row's picture). The field
// separator can't be stored: a path holding it is not listed, and a comment
// refuses it.
TEST_F(Editor, AddListsInDialogOrderPreviewsAndRefusesTheFieldSeparator)
{
    const QString a = pic(QStringLiteral("a.jpg"));
    const QString shot = dir.filePath(QStringLiteral("shot.png"));
    writeFileAtomically(shot, kinds::encoded(kinds::quadrants(64, 48), "png"));
    showNew();
    add({pic(QStringLiteral("b.bmp")), a});
    const QString bad = pic(QStringLiteral("a^b.jpg"));
    add({a, bad, shot});
    EXPECT_EQ(names(), (QStringList{"b.bmp", "a.jpg", "a.jpg", "shot.png"}));
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors.first().contains(bad));
    EXPECT_TRUE(btn("btnDel")->isEnabled());
    EXPECT_EQ(ed()->selectedRow(), 0);
    QTest::keyClicks(ed()->commentEditor(), QStringLiteral("a^b"));
    EXPECT_EQ(list()->entry(0).comment, QStringLiteral("ab"));
    ASSERT_EQ(fake.openFilters.size(), 2);
    const QStringList parts = fake.openFilters[0].split('|');
    ASSERT_GE(parts.size(), 2);
    EXPECT_EQ(parts[0], "All pictures");
    for (const char* pattern : {"*.jpg", "*.bmp", "*.png", "*.gif", "*.webp", "*.tif", "*.heic", "*.avif"})
        EXPECT_TRUE(parts[1].split(';').contains(pattern)) << pattern;
    QStringList kindNames;
    for (int i = 2; i + 1 < parts.size(); i += 2)
        kindNames << parts[i];
    EXPECT_EQ(kindNames,
              (QStringList{"JPEG", "Bitmaps", "PNG", "GIF", "WebP", "TIFF", "HEIC/HEIF", "AVIF", "Icons", "RAW",
                           "JPEG XL", "SVG"}));
    clickRow(3);
    EXPECT_EQ(kinds::corners(ed()->previewImage()), "RGBW");
    list()->append({dir.filePath(QStringLiteral("missing.jpg")), QStringLiteral("gone")});
    clickRow(4);
    ASSERT_EQ(fake.errors.size(), 2);
    EXPECT_TRUE(fake.errors.last().contains(QStringLiteral("missing.jpg")));
    EXPECT_TRUE(ed()->previewImage().isNull());
    EXPECT_EQ(list()->entryCount(), 5);
}

// ---- Up, Down and Delete

// A script of clicks on four entries a..d: a digit clicks that row, U is Up,
// D is Down, X is Delete; u and d are Ctrl+Up and Ctrl+Down and x the
// Delete key typed in the comment field, which deletes the entry and spares
// the text. Each entry carries its name as comment.
struct RowCase {
    const char* name;
    const char* script;
    const char* order; // the entries afterwards
    int selected;
    bool up, down, del;
};

class EditorRows : public Editor, public ::testing::WithParamInterface<RowCase> {};

TEST_P(EditorRows, MoveAndDeleteCarryEntriesWithTheirComments)
{
    const RowCase& c = GetParam();
    QStringList files;
    for (int i = 0; i < 4; ++i)
        files << pic(QStringLiteral("%1.jpg").arg(QChar('a' + i)));
    showNew();
    add(files);
    for (int i = 0; i < 4; ++i)
        list()->setData(list()->index(i, 1), QString(QChar('a' + i)), Qt::EditRole);
    for (const char* s = c.script; *s; ++s) {
        if (*s >= '0' && *s <= '9')
            clickRow(*s - '0');
        else if (*s == 'u' || *s == 'd')
            QTest::keyClick(QApplication::focusWidget(), *s == 'u' ? Qt::Key_Up : Qt::Key_Down,
                            Qt::ControlModifier);
        else if (*s == 'x')
            QTest::keyClick(ed()->commentEditor(), Qt::Key_Delete);
        else
            click(*s == 'U' ? "BtnUp" : *s == 'D' ? "btnDown" : "btnDel");
    }
    QString order;
    for (const CollectionEntry& e : list()->entries()) {
        order += e.comment;
        EXPECT_EQ(QFileInfo(e.path).baseName(), e.comment);
    }
    EXPECT_EQ(order, QString::fromLatin1(c.order));
    EXPECT_EQ(ed()->selectedRow(), c.selected);
    EXPECT_EQ(btn("BtnUp")->isEnabled(), c.up);
    EXPECT_EQ(btn("btnDown")->isEnabled(), c.down);
    EXPECT_EQ(btn("btnDel")->isEnabled(), c.del);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, EditorRows,
    ::testing::Values(RowCase{"Up", "1U", "bacd", 0, true, true, true},
                      RowCase{"DownTwice", "0DD", "bcad", 2, true, true, true},
                      RowCase{"CtrlUpAndCtrlDownFromTheKeyboard", "1u2dd", "badc", 3, true, false, true},
                      RowCase{"UpOnRowOneDisablesItself", "0U", "abcd", 0, false, true, true},
                      RowCase{"DownOnTheLastRowDisablesItself", "3D", "abcd", 3, true, false, true},
                      RowCase{"DeleteKeepsTheRowNumber", "1X", "acd", 1, true, true, true},
                      RowCase{"DeleteOnTheLastRowSelectsTheNewLast", "3X", "abc", 2, true, true, true},
                      RowCase{"DeleteKeyInACommentDeletesTheEntry", "1x", "acd", 1, true, true, true},
                      RowCase{"DeletingEveryRow", "XXXX", "", -1, true, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Editor, FindSearchesCommentsOnlyCaseBlindForward)
{
    showNew();
    add({pic(QStringLiteral("a.jpg")), pic(QStringLiteral("b.jpg")), pic(QStringLiteral("apple.jpg"))});
    const QStringList comments = {"Äpfel am Baum", "ÄPFEL im Korb", "nothing"};
    for (int i = 0; i < 3; ++i)
        list()->setData(list()->index(i, 1), comments[i], Qt::EditRole);
    ed()->findEdit()->setText(QStringLiteral("äPfEl"));
    click("btnGo");
    EXPECT_EQ(ed()->selectedRow(), 1);
    ed()->findEdit()->setText(QStringLiteral("apple")); // only in a file name
    click("btnGo");
    EXPECT_EQ(ed()->selectedRow(), 1);
}

// ---- OK, Close and Esc

// The re-read that refills the list fails when the file went away: the list
// still holds each entry once, so OK cannot write them twice.
TEST_F(Editor, AddDeleteOnACollectionWhoseFileIsGoneListsEachEntryOnce)
{
    const QString path = collectionOf(3);
    openPath(path);
    const QList<CollectionEntry> entries = session().entries();
    ASSERT_TRUE(QFile::remove(path));
    action("mnuAdd")->trigger();
    EXPECT_EQ(fake.errors.size(), 1);
    EXPECT_EQ(list()->entries(), entries);
    click("btnOK");
    EXPECT_EQ(readCollectionAll(path), entries);
}

TEST_F(Editor, CancelledSaveDialogWritesNothingAndReadsTheCollectionOpenBefore)
{
    const QString before = collectionOf(3);
    openPath(before);
    const QString added = pic(QStringLiteral("new.jpg"));
    const QStringList filesBefore = QDir(dir.path()).entryList(QDir::Files);
    showNew();
    add({added});
    fake.saveAnswers << QString();
    click("btnOK");
    EXPECT_FALSE(ed()->isVisible());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), filesBefore);
    EXPECT_EQ(session().collectionFileName(), before);
    EXPECT_EQ(list()->entryCount(), 3);
}

// The name typed in the save dialog, and the file the collection goes to: a
// collection always ends in .pvx, so a picture's name never loses the picture.
struct SaveNameCase {
    const char* typed;
    const char* saved;
};

class EditorSaveName : public Editor, public ::testing::WithParamInterface<SaveNameCase> {};

TEST_P(EditorSaveName, SavingANewCollectionNamesItOpensItAndEnablesAddDelete)
{
    showNew();
    ASSERT_FALSE(enabled("mnuAdd"));
    add({pic(QStringLiteral("a.jpg")), pic(QStringLiteral("b.bmp"))});
    const QByteArray picture = fileBytes(dir.filePath(QStringLiteral("b.bmp")));
    QTest::keyClicks(ed()->commentEditor(), QStringLiteral("first"));
    fake.saveAnswers << dir.filePath(QString::fromLatin1(GetParam().typed));
    click("btnOK");
    const QString path = dir.filePath(QString::fromLatin1(GetParam().saved));
    EXPECT_EQ(session().collectionFileName(), path);
    EXPECT_EQ(fileBytes(path), dir.filePath(QStringLiteral("a.jpg")).toUtf8() + "^first^\r\n" +
                                   dir.filePath(QStringLiteral("b.bmp")).toUtf8() + "^^\r\n");
    EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("b.bmp"))), picture);
    EXPECT_EQ(session().entryCount(), 2);
    EXPECT_TRUE(enabled("mnuAdd"));
}

INSTANTIATE_TEST_SUITE_P(Names, EditorSaveName,
                         ::testing::Values(SaveNameCase{"holiday", "holiday.pvx"},
                                           SaveNameCase{"Holiday.PVX", "Holiday.PVX"},
                                           SaveNameCase{"b.bmp", "b.bmp.pvx"}));

// Close, Esc and the close box each withdraw the reopen request; with
// changes not saved they first ask, and keep the editor and its changes
// open unless told to lose them.
TEST_F(Editor, CloseEscAndTheCloseBoxAskBeforeLosingEdits)
{
    const std::function<void()> ways[] = {[this] { click("btnClose"); },
                                          [this] { QTest::keyClick(ed()->findEdit(), Qt::Key_Escape); },
                                          [this] { ed()->close(); }};
    for (const auto& closeIt : ways) {
        showNew();
        add({pic(QStringLiteral("a.jpg"))});
        QTest::keyClicks(ed()->commentEditor(), QStringLiteral("kept"));
        session().requestReopen();
        fake.questions.clear();
        fake.questionAnswers = {false, true};
        closeIt();
        EXPECT_TRUE(ed()->isVisible());
        EXPECT_EQ(list()->entry(0).comment, QStringLiteral("kept"));
        closeIt();
        EXPECT_FALSE(ed()->isVisible());
        EXPECT_EQ(fake.questions.size(), 2);
        EXPECT_EQ(list()->entryCount(), 0) << "lost as agreed";
        EXPECT_FALSE(session().takeReopenRequest());
        ed()->show();
        closeIt(); // nothing to lose: no question
        EXPECT_FALSE(ed()->isVisible());
        EXPECT_EQ(fake.questions.size(), 2);
    }
    EXPECT_EQ(fake.saveCalls, 0);
    // The program's end, and Add / Delete, which starts the list over, ask too.
    showAddDelete(2);
    typeComment(QStringLiteral("kept"));
    fake.questions.clear();
    mainWindow()->close();
    mainWindow()->editCollection();
    EXPECT_EQ(fake.questions.size(), 2);
    EXPECT_TRUE(mainWindow()->isVisible());
    EXPECT_EQ(list()->entry(0).comment, QStringLiteral("kept"));
}

// ---- New on the main window

TEST_F(Editor, NewWritesTheEditedListIntoTheOpenCollectionUnlessEmpty)
{
    for (const bool deleteAll : {false, true}) {
        showAddDelete(3);
        const QString path = session().collectionFileName();
        const QByteArray before = fileBytes(path);
        add({}); // enables Up
        clickRow(2);
        click("BtnUp");
        typeComment(QStringLiteral("moved"));
        for (int i = 0; deleteAll && i < 3; ++i)
            click("btnDel");
        fake.questions.clear();
        click("btnClose"); // kept open with the edits
        EXPECT_EQ(fake.questions.size(), 1);
        mainWindow()->newCollection();
        const QList<CollectionEntry> saved = readCollectionAll(path);
        if (deleteAll) {
            EXPECT_EQ(fileBytes(path), before);
            continue;
        }
        ASSERT_EQ(saved.size(), 3);
        EXPECT_EQ(saved[1].comment, QStringLiteral("moved"));
        EXPECT_EQ(QFileInfo(saved[1].path).fileName(), QStringLiteral("p3.jpg"));
    }
}

TEST_F(Editor, OkAfterTheMainWindowOpenedAnotherCollectionWritesThatOne)
{
    showAddDelete(3);
    const QString first = session().collectionFileName();
    const QByteArray firstBefore = fileBytes(first);
    click("btnDel");
    const QString second = collectionOf(2, QStringLiteral("second.pvx"));
    const QList<CollectionEntry> secondEntries = readCollectionAll(second);
    fake.openAnswers << second;
    command([] { action("mnuOpen")->trigger(); });
    ASSERT_EQ(session().collectionFileName(), second);
    EXPECT_EQ(list()->entries(), secondEntries);
    list()->setData(list()->index(0, 1), QStringLiteral("edited"), Qt::EditRole);
    click("btnOK");
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join('\n').toStdString();
    EXPECT_EQ(fileBytes(first), firstBefore);
    const QList<CollectionEntry> saved = readCollectionAll(second);
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(saved[0].comment, QStringLiteral("edited"));
    EXPECT_EQ(saved[1], secondEntries[1]);
}

// ---- Nothing lost

TEST_F(Editor, AWindowsCollectionIsWrittenBackInItsCodePage)
{
    restart("[Settings]\r\nCodePage=windows-1251\r\n");

    const QByteArray a = pic("a.jpg").toUtf8(), b = pic("b.bmp").toUtf8(), c = pic("c.jpg").toUtf8();
    const QString path = dir.filePath("trip.pvx");
    writeFileAtomically(path, a + "^\xCC\xEE\xE9 \xEE\xF2\xEF\xF3\xF1\xEA^\r\n" + b +
                                  "^\xC4\xE5\xED\xFC 2^\r\n" + c + "^^\r\n");
    openPath(path);
    EXPECT_EQ(session().entry(1).comment, "Мой отпуск");

    // Add / Delete, then OK: still windows-1251.
    mainWindow()->editCollection();
    ed()->selectRow(1);
    click("btnDel");
    click("btnOK");
    EXPECT_EQ(fileBytes(path), a + "^\xCC\xEE\xE9 \xEE\xF2\xEF\xF3\xF1\xEA^\r\n" + c + "^^\r\n");
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join('\n').toStdString();
}

// Return in a comment only ends it; Return in the list is OK. An OK that
// fails to write, or would write an empty list, keeps the editor, its list
// and the old file; the same OK writes once it can, and the list is read again.
TEST_F(Editor, ReturnEndsACommentThenOkWritesOnlyOnceItCan)
{
    showAddDelete(3);
    const QString path = session().collectionFileName();
    const QByteArray before = fileBytes(path);
    clickRow(1);
    typeComment(QStringLiteral("typed here"));
    QTest::keyClick(ed()->commentEditor(), Qt::Key_Return);
    EXPECT_TRUE(ed()->isVisible());
    EXPECT_EQ(fileBytes(path), before);
    ASSERT_EQ(QApplication::focusWidget(), ed()->grid());
    setAtomicWriteFault(AtomicWriteFault::Write, 28 /* ENOSPC */);
    QTest::keyClick(ed()->grid(), Qt::Key_Return);
    EXPECT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(ed()->isVisible());
    EXPECT_EQ(list()->entry(1).comment, QStringLiteral("typed here"));
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_NE(session().entry(2).comment, QStringLiteral("typed here")); // nothing was read again

    setAtomicWriteFault(AtomicWriteFault::None);
    clickRow(2);
    click("btnDel");
    const QList<CollectionEntry> edited = list()->entries();
    click("btnOK");
    EXPECT_FALSE(ed()->isVisible());
    ASSERT_EQ(readCollectionAll(path), edited);
    EXPECT_EQ(edited[1].comment, QStringLiteral("typed here"));
    EXPECT_EQ(session().entryCount(), 2);
    EXPECT_EQ(session().entry(2).comment, QStringLiteral("typed here")); // read again

    mainWindow()->editCollection();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ed()));
    click("btnDel");
    click("btnDel");
    click("btnOK");
    EXPECT_EQ(fake.infos, QStringList{QStringLiteral("Collection must contains as minimum one image.")});
    EXPECT_TRUE(ed()->isVisible());
    EXPECT_EQ(readCollectionAll(path), edited);
}

} // namespace
