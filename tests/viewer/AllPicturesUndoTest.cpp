// Undo of an all-pictures run: the copies kept before it, put back only over
// files still as the run left them, and gone once they can't serve.
#include "viewer/AllPicturesUndo.h"

#include "core/AtomicFile.h"
#include "tests/support/FileBytes.h"

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

} // namespace
