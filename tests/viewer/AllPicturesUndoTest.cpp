// Undo of an all-pictures run: the copies kept before it, put back only over
// files still as the run left them, and gone once they can't serve.
#include "viewer/AllPicturesUndo.h"

#include "core/Errors.h"
#include "settings/SettingsStore.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestPictures.h"
#include "tests/support/WriteFaults.h"
#include "viewer/SessionRun.h"
#include "viewer/ViewerSession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// What happens to the files between the run and Undo.
enum class After { Nothing, Rewritten, SameSizeOtherBytes, Deleted, NotWrittenByTheRun };

struct UndoCase {
    const char* name;
    After after;
    int touched;          // which of a, b, c (0..2)
    QStringList restored; // file names, as the restore answers
    QStringList changed;
};

class RunUndo : public ::testing::TestWithParam<UndoCase> {
protected:
    QTemporaryDir dir;
    QString at(const QString& name) const { return dir.filePath(name); }
};

TEST_P(RunUndo, RestoresOnlyWhatIsAsTheRunLeftIt)
{
    const UndoCase c = GetParam();
    const QStringList names{"a.jpg", "b.bmp", "c.jpg"};
    QStringList files;
    for (const QString& n : names) {
        files << at(n);
        writeFileAtomically(files.last(), n.toUtf8() + " as it was");
    }
    AllPicturesUndo undo(at("cache"), [](const QString&) { return qint64(1) << 40; });
    ASSERT_TRUE(undo.hasRoomFor(files));
    undo.keepCopies(files + QStringList{files[0]}); // listed twice: one copy
    ASSERT_EQ(QDir(at("cache")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);

    QStringList written;
    for (int k = 0; k < 3; ++k) {
        if (c.after == After::NotWrittenByTheRun && k == c.touched)
            continue;
        writeFileAtomically(files[k], names[k].toUtf8() + " after the run");
        written << files[k];
    }
    undo.runFinished(written);
    ASSERT_TRUE(undo.canRestore());
    const QString& t = files[c.touched];
    if (c.after == After::Rewritten)
        writeFileAtomically(t, "the user's own change, longer than before");
    if (c.after == After::SameSizeOtherBytes) {
        QByteArray same = fileBytes(t);
        same[0] = 'X';
        ASSERT_TRUE(putBytes(t, same));
    }
    if (c.after == After::Deleted)
        QFile::remove(t);

    const AllPicturesUndo::Result r = undo.restore();
    QStringList restored, changed;
    for (const QString& f : r.restored)
        restored << QFileInfo(f).fileName();
    for (const QString& f : r.changed)
        changed << QFileInfo(f).fileName();
    EXPECT_EQ(restored, c.restored);
    EXPECT_EQ(changed, c.changed);
    for (const QString& n : c.restored)
        EXPECT_EQ(fileBytes(at(n)), n.toUtf8() + " as it was") << n.toStdString();
    EXPECT_FALSE(undo.canRestore());
    EXPECT_TRUE(QDir(at("cache")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty()) << "the copies go";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(, RunUndo, ::testing::Values(
    UndoCase{"UntouchedFilesComeBack", After::Nothing, 0, {"a.jpg", "b.bmp", "c.jpg"}, {}},
    UndoCase{"AFileRewrittenSinceStays", After::Rewritten, 1, {"a.jpg", "c.jpg"}, {"b.bmp"}},
    UndoCase{"SameSizeButOtherBytesStays", After::SameSizeOtherBytes, 2, {"a.jpg", "b.bmp"}, {"c.jpg"}},
    UndoCase{"ADeletedFileIsNamed", After::Deleted, 0, {"b.bmp", "c.jpg"}, {"a.jpg"}},
    UndoCase{"AFileTheRunNeverWroteIsLeftAlone", After::NotWrittenByTheRun, 2, {"a.jpg", "b.bmp"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// One file under several names (a hard link, a symbolic link): every name
// still finds the run's state, so none is taken for changed by another's restore.
TEST(RunUndoLinks, EveryNameOfOneFileIsRestored)
{
    QTemporaryDir dir;
    const QString a = dir.filePath("a.jpg"), hard = dir.filePath("hard.jpg"), soft = dir.filePath("soft.jpg");
    writeFileAtomically(a, "as it was");
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(hard).constData()), 0);
    ASSERT_TRUE(QFile::link(a, soft));
    AllPicturesUndo undo(dir.filePath("cache"));
    const QStringList files{a, hard, soft};
    undo.keepCopies(files);
    writeFileAtomically(a, "after the run");
    undo.runFinished(files);
    const AllPicturesUndo::Result r = undo.restore();
    EXPECT_EQ(r.restored.size(), 3);
    EXPECT_TRUE(r.changed.isEmpty());
    EXPECT_EQ(fileBytes(a), QByteArray("as it was"));
    EXPECT_EQ(fileBytes(hard), QByteArray("as it was"));
}

TEST(RunUndoRoom, WantsTheCopiesAndSomeToSpare)
{
    QTemporaryDir dir;
    const QString f = dir.filePath("big.jpg");
    writeFileAtomically(f, QByteArray(1000, 'x'));
    qint64 free = 0;
    AllPicturesUndo undo(dir.filePath("cache"), [&free](const QString&) { return free; });
    for (const auto& [space, room] : {std::pair{qint64(0), false},
                                      {qint64(16 << 20), false},
                                      {qint64((16 << 20) + 1000), true},
                                      {qint64(-1), false}}) {
        free = space;
        EXPECT_EQ(undo.hasRoomFor({f, f}), room) << space;
    }
}

TEST(RunUndoLifetime, CopiesGoWithTheNextRunAndAtTheEnd)
{
    QTemporaryDir dir;
    const QString f = dir.filePath("a.jpg"), cache = dir.filePath("cache");
    writeFileAtomically(f, "x");
    const auto runs = [&] { return QDir(cache).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(); };
    {
        AllPicturesUndo undo(cache);
        undo.keepCopies({f});
        undo.runFinished({f});
        undo.keepCopies({f});
        EXPECT_EQ(runs(), 1);
        EXPECT_FALSE(undo.canRestore()) << "a run that has not finished restores nothing";
    }
    EXPECT_EQ(runs(), 0);
}

// A run over the session's collection, after an effect on one picture: the
// earlier Undo stays while nothing is written; without room for copies the
// run asks, and written without them it leaves nothing to undo; an entry that
// can't be written is named in the question.
struct SessionRunCase {
    const char* name;
    bool room, unreadable, fails;
    QList<bool> answers;
    int asked;
    bool written, undoAfter;
    const char* told; // in the status bar
};

struct AnsweringRun : SessionRun {
    using SessionRun::SessionRun;
    bool ask(const QString& text, const QString&) override
    {
        asked << text;
        return !answers.isEmpty() && answers.takeFirst();
    }
    QList<bool> answers;
    QStringList asked;
};

class SessionRunTest : public ::testing::TestWithParam<SessionRunCase> {};

TEST_P(SessionRunTest, AsksKeepsOrDropsUndoAndTells)
{
    const SessionRunCase& c = GetParam();
    QTemporaryDir dir;
    SettingsStore store(dir.filePath("pictavo.ini"));
    ViewerSession session(store);
    const QStringList files{testpics::writeBmp(dir.filePath("1.bmp"), 8, 8, 1),
                            testpics::writeBmp(dir.filePath("2.bmp"), 8, 8, 2)};
    session.beginOpen(dir.filePath("c.pvx"));
    const QList<CollectionEntry> listed{{files[0], "one"}, {files[1], "two"}};
    for (const CollectionEntry& e : listed)
        session.appendEntry(e);
    session.endOpen(listed);
    session.recordUndo(Picture::loadFromFile(files[0]));
    if (!c.room)
        session.setUndoFreeSpace([](const QString&) { return qint64(0); });
    if (c.unreadable)
        writeFileAtomically(files[1], "not a picture");
    const QByteArray before = fileBytes(files[0]);
    QStringList told;
    QObject::connect(&session, &ViewerSession::statusAnnounced, [&](const QString& t) { told << t; });
    AnsweringRun run(session);
    run.answers = c.answers;
    setAtomicWriteFault(c.fails ? AtomicWriteFault::Commit : AtomicWriteFault::None, ENOSPC);
    if (c.fails)
        EXPECT_THROW(run.run({{Effect::Brightness, 5}}), AppError);
    else
        EXPECT_EQ(run.run({{Effect::Brightness, 5}}), c.answers.value(0, true));
    setAtomicWriteFault(AtomicWriteFault::None);
    EXPECT_EQ(run.asked.size(), c.asked);
    if (c.unreadable) {
        EXPECT_TRUE(run.asked.value(0).contains(files[1])) << run.asked.value(0).toStdString();
    }
    EXPECT_EQ(fileBytes(files[0]) != before, c.written);
    EXPECT_EQ(told.join('|').toStdString(), c.told);
    EXPECT_EQ(session.undoHistory().isAvailable(), c.undoAfter);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(, SessionRunTest, ::testing::Values(
    SessionRunCase{"WithRoom", true, false, false, {}, 0, true, true, "2 pictures written, 0 skipped"},
    SessionRunCase{"NoRoomDeclined", false, false, false, {false}, 1, false, true, ""},
    SessionRunCase{"NoRoomFailingFirst", false, false, true, {true}, 1, false, true, "0 pictures written, 0 skipped"},
    SessionRunCase{"NoRoomWrittenWithout", false, false, false, {true}, 1, true, false, "2 pictures written, 0 skipped"},
    SessionRunCase{"UnusableNotSkipped", true, true, false, {false}, 1, false, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

} // namespace
