// A picture's file moved to the trash and put back by Undo, through the
// session: the entries naming it leave and come back in their places, the
// collection file is rewritten in its own encoding and then is byte for
// byte what it was. The trash is a temporary one ($HOME and $XDG_DATA_HOME
// point into the test's folder).
#include "settings/SettingsStore.h"
#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/WriteFaults.h"
#include "viewer/ViewerSession.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// What must survive a trip to the trash and back: bytes, owner, mode, time.
QString factsOf(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return QStringLiteral("%1 %2 %3 %4.%5")
        .arg(QCryptographicHash::hash(fileBytes(path), QCryptographicHash::Sha256).toHex())
        .arg(st.st_uid)
        .arg(st.st_mode, 0, 8)
        .arg(st.st_mtim.tv_sec)
        .arg(st.st_mtim.tv_nsec);
}

class TrashMove : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // The trash of the home folder, on the same file system as the pictures.
        for (const char* name : {"HOME", "XDG_DATA_HOME"})
            saved.append({name, qgetenv(name)});
        qputenv("HOME", dir.filePath("home").toUtf8());
        qputenv("XDG_DATA_HOME", dir.filePath("home/data").toUtf8());
        QDir().mkpath(dir.filePath("home/data"));
    }
    void TearDown() override
    {
        setAtomicWriteFault(AtomicWriteFault::None);
        for (const auto& [name, value] : saved)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    QString trashFiles() const { return dir.filePath("home/data/Trash/files"); }
    QString picture(const QString& name)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(putBytes(path, "picture " + name.toUtf8()));
        return path;
    }
    // Opens the collection file `bytes` as the viewer does: every entry listed.
    void open(const QByteArray& bytes)
    {
        collection = dir.filePath("c.pvx");
        ASSERT_TRUE(putBytes(collection, bytes));
        session.beginOpen(collection);
        const QList<CollectionEntry> listed = readCollectionAll(collection);
        for (const CollectionEntry& e : listed)
            session.appendEntry(e);
        session.endOpen(listed);
    }
    QStringList names() const
    {
        QStringList out;
        for (const CollectionEntry& e : session.listedEntries())
            out << QFileInfo(e.path).fileName();
        return out;
    }

    QTemporaryDir dir;
    QList<std::pair<const char*, QByteArray>> saved;
    SettingsStore settings{dir.filePath("pictavo.ini")};
    ViewerSession session{settings};
    QString collection;
};

struct TrashCase {
    const char* name;
    QByteArray lines; // %1: the test's folder
    int entry;        // the one whose file goes
    QStringList left;
    int current;        // afterwards
    QByteArray written; // must be in the rewritten file (its encoding kept)
};

class TrashAndUndo : public TrashMove, public ::testing::WithParamInterface<TrashCase> {};

TEST_P(TrashAndUndo, TakeTheFileAndItsEntriesAndPutEverythingBack)
{
    const TrashCase& c = GetParam();
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        picture(QString::fromLatin1(name));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("b.jpg")).constData(), 0604), 0);
    open(QByteArray(c.lines).replace("%1", QFile::encodeName(dir.path())));
    const QList<CollectionEntry> listedBefore = session.listedEntries();
    const QByteArray collectionBefore = fileBytes(collection);
    const QString path = session.entry(c.entry).path;
    const QString before = factsOf(path);
    ASSERT_FALSE(before.isEmpty());

    session.moveEntryToTrash(c.entry);
    const QString inTrash = trashFiles() + '/' + QFileInfo(path).fileName();
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(factsOf(inTrash), before) << "moved, not copied";
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("home/data/Trash/info/") + QFileInfo(path).fileName() + ".trashinfo"));
    EXPECT_EQ(names(), c.left);
    EXPECT_EQ(session.currentEntry(), c.current);
    EXPECT_EQ(readCollectionAll(collection), session.listedEntries()) << "the file says what the strip shows";
    EXPECT_TRUE(fileBytes(collection).contains(c.written));
    EXPECT_TRUE(session.undoHistory().isAvailable());

    ASSERT_EQ(session.undoHistory().undo().size(), 1);
    EXPECT_EQ(factsOf(path), before) << "bytes, owner, mode and time as before";
    EXPECT_FALSE(QFileInfo::exists(inTrash));
    EXPECT_TRUE(QDir(dir.filePath("home/data/Trash/info")).isEmpty());
    EXPECT_EQ(fileBytes(collection), collectionBefore) << "byte for byte";
    EXPECT_EQ(session.listedEntries(), listedBefore);
    EXPECT_EQ(session.currentEntry(), c.entry);
    EXPECT_FALSE(session.undoHistory().isAvailable());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Collections, TrashAndUndo, ::testing::Values(
    // Named again by a relative path and a detour: every entry leaves.
    TrashCase{"EveryEntryNamingTheFileLeaves", "b.jpg^first^\r\n%1/a.jpg^A^\r\n%1/./b.jpg^never^\r\n./b.jpg^again^\r\n%1/c.jpg^C^\r\n",
              3, {"a.jpg", "c.jpg"}, 2, "a.jpg^A^"},
    // Lines the reader left out, no line end at the end, a comment in
    // windows-1251 and a byte 26: the rewrite keeps the encoding, the undo every byte.
    TrashCase{"TheCollectionsOwnBytesComeBack", "%1/a.jpg^\xcf\xf0\xe8\xe2\xe5\xf2^\n\n%1/b.jpg^" + QByteArray(70000, 'x') + "^\r\n%1/b.jpg^B^\r\n%1/c.jpg^C^\x1a",
              3, {"a.jpg", "b.jpg"}, 2, "^\xcf\xf0\xe8\xe2\xe5\xf2^"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Refusals change nothing: no trash for the file, the collection's last
// picture, a collection that can't be written, an old name taken again.
TEST_F(TrashMove, RefusalsLeaveFileCollectionAndUndoAsTheyWere)
{
    const QString a = picture("a.jpg"), b = picture("b.jpg");
    open(QFile::encodeName(QStringLiteral("%1^A^\r\n%2^B^\r\n").arg(a, b)));
    const QByteArray bytes = fileBytes(collection);
    const auto unchanged = [&](const char* what) {
        EXPECT_TRUE(QFileInfo::exists(a) && QFileInfo::exists(b)) << what;
        EXPECT_EQ(fileBytes(collection), bytes) << what;
        EXPECT_EQ(session.entryCount(), 2) << what;
        EXPECT_FALSE(session.undoHistory().isAvailable()) << what;
    };
    const auto refusal = [&](int e) { return errorText([&] { session.moveEntryToTrash(e); }); };

    // A trash that can't be made (a file has its name): the picture stays,
    // never deleted.
    ASSERT_TRUE(putBytes(dir.filePath("home/data/Trash"), "no folder"));
    EXPECT_EQ(refusal(1), session.texts().TrashRefusedMessage.arg(a));
    unchanged("no trash");
    ASSERT_TRUE(QFile::remove(dir.filePath("home/data/Trash")));

    setAtomicWriteFault(AtomicWriteFault::Write);
    EXPECT_FALSE(refusal(1).isEmpty());
    setAtomicWriteFault(AtomicWriteFault::None);
    unchanged("collection not written: the file came back");
    EXPECT_TRUE(QDir(dir.filePath("home/data/Trash/info")).isEmpty());

    session.moveEntryToTrash(2);
    EXPECT_EQ(refusal(1), session.texts().MinOneImageMessage);
    // Something has b's name now: Undo refuses and can be tried again.
    ASSERT_TRUE(putBytes(b, "another"));
    EXPECT_THROW(session.undoHistory().undo(), AppError);
    EXPECT_EQ(fileBytes(b), "another");
    EXPECT_TRUE(session.undoHistory().isAvailable());
    ASSERT_TRUE(QFile::remove(b));
    session.undoHistory().undo();
    unchanged("undone at the second try");
    EXPECT_EQ(fileBytes(b), "picture b.jpg");
}

} // namespace
