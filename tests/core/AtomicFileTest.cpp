#include "core/AtomicFile.h"
#include "core/Errors.h"

#include "tests/graphics/TestFiles.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class AtomicFile : public ::testing::Test {
protected:
    void TearDown() override { setAtomicWriteFault(AtomicWriteFault::None); }

    QString writeError(const QString& path, const QByteArray& data)
    {
        try {
            writeFileAtomically(path, data);
        } catch (const AppError& e) {
            return e.text();
        }
        return QString();
    }

    QByteArray contents(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(AtomicFile, WritesNewAndReplacesOldFilesLeavingNothingElse)
{
    const QString path = dir.filePath("picture.bmp");
    writeFileAtomically(path, "first");
    EXPECT_EQ(contents(path), "first");
    writeFileAtomically(path, QByteArray(100000, 'x'));
    EXPECT_EQ(contents(path), QByteArray(100000, 'x'));
    writeFileAtomically(path, QByteArray());
    EXPECT_EQ(contents(path), QByteArray());
    EXPECT_EQ(filesIn(dir.path()), QStringList{"picture.bmp"});
}

TEST_F(AtomicFile, LongestFileNamesStillGetATemporary)
{
    const QString path = dir.filePath(QString(251, 'n') + ".bmp");
    writeFileAtomically(path, "long");
    EXPECT_EQ(contents(path), "long");
    EXPECT_EQ(filesIn(dir.path()).size(), 1);
}

TEST_F(AtomicFile, KeepsTheOwnerGroupAndPermissionsOfTheReplacedFile)
{
    const QString path = dir.filePath("shared.jpg");
    const QByteArray native = QFile::encodeName(path);
    writeFileAtomically(path, "old");
    ASSERT_EQ(::chmod(native.constData(), 0640), 0);
    // Only root can give a file away; others keep their own ids.
    const bool root = ::geteuid() == 0;
    const uid_t uid = root ? 4321 : ::geteuid();
    const gid_t gid = root ? 8765 : ::getegid();
    ASSERT_EQ(::chown(native.constData(), uid, gid), 0);
    writeFileAtomically(path, "new");
    struct stat st {};
    ASSERT_EQ(::stat(native.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, uid);
    EXPECT_EQ(st.st_gid, gid);
    EXPECT_EQ(contents(path), "new");
}

TEST_F(AtomicFile, FailureAtAnyStepKeepsTheOldFileWholeAndLeavesNoTemporary)
{
    const QString path = dir.filePath("photo.jpg");
    const QByteArray old(5000, 'o');
    writeFileAtomically(path, old);
    for (auto step : {AtomicWriteFault::Open, AtomicWriteFault::Write, AtomicWriteFault::Flush,
                      AtomicWriteFault::Commit}) {
        SCOPED_TRACE(int(step));
        setAtomicWriteFault(step);
        EXPECT_EQ(writeError(path, QByteArray(8000, 'n')),
                  msg::cannotCreate(path, QStringLiteral("Input/output error")));
        EXPECT_EQ(contents(path), old);
        EXPECT_EQ(filesIn(dir.path()), QStringList{"photo.jpg"});
    }
    // A failed write never creates the target either.
    setAtomicWriteFault(AtomicWriteFault::Write);
    EXPECT_FALSE(writeError(dir.filePath("new.bmp"), "data").isEmpty());
    EXPECT_EQ(filesIn(dir.path()), QStringList{"photo.jpg"});

    setAtomicWriteFault(AtomicWriteFault::None);
    writeFileAtomically(path, "recovered");
    EXPECT_EQ(contents(path), "recovered");
}

TEST_F(AtomicFile, UnwritableFolderGivesCannotCreate)
{
    const QString folder = dir.filePath("locked");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + "/a.bmp";
    if (::geteuid() == 0) {
        // Root writes anywhere: let the seam refuse as the system would.
        setAtomicWriteFault(AtomicWriteFault::Open, EACCES);
    } else {
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    }
    EXPECT_EQ(writeError(path, "x"), msg::cannotCreate(path, QStringLiteral("Permission denied")));
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_TRUE(filesIn(folder).isEmpty());
}

TEST_F(AtomicFile, MissingFolderAndDirectoryTargetsAreRefused)
{
    const QString missing = dir.filePath("nowhere/a.jpg");
    EXPECT_EQ(writeError(missing, "x"),
              msg::cannotCreate(missing, QStringLiteral("No such file or directory")));
    const QString folder = dir.filePath("folder.bmp");
    ASSERT_TRUE(QDir().mkdir(folder));
    EXPECT_EQ(writeError(folder, "x"), msg::cannotCreate(folder, QStringLiteral("Is a directory")));
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST_F(AtomicFile, WritesThroughASymbolicLink)
{
    const QString real = dir.filePath("real.bmp");
    const QString link = dir.filePath("link.bmp");
    writeFileAtomically(real, "old");
    ASSERT_TRUE(QFile::link(real, link));
    writeFileAtomically(link, "new");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(contents(real), "new");
}

TEST_F(AtomicFile, ReadWholeFileReturnsTheBytesOrTheSystemsReason)
{
    const QString path = writeScratch(dir, "data.bin", QByteArray("\0\1\2binary", 9));
    EXPECT_EQ(readWholeFile(path), QByteArray("\0\1\2binary", 9));
    EXPECT_EQ(readWholeFile(writeScratch(dir, "empty.bin", QByteArray())), QByteArray());

    const auto readError = [](const QString& p) {
        try {
            readWholeFile(p);
        } catch (const AppError& e) {
            return e.text();
        }
        return QString();
    };
    const QString missing = dir.filePath("missing.jpg");
    EXPECT_EQ(readError(missing), msg::cannotOpen(missing, QStringLiteral("No such file or directory")));
    EXPECT_EQ(readError(dir.path()), msg::cannotOpen(dir.path(), QStringLiteral("Is a directory")));
}
