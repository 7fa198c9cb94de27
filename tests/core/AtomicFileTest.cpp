// The atomic writer's own behaviour; every writer under every injected
// failure is tests/hardening/FaultInjectionTest.
#include "core/AtomicFile.h"
#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Printers.h"

#include <QDir>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class AtomicFile : public ::testing::Test {
protected:
    void TearDown() override { setAtomicWriteFault(AtomicWriteFault::None); }
    QStringList files(const QString& folder) const { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }
    QTemporaryDir dir;
};

TEST_F(AtomicFile, WritesNewAndReplacesOldFilesLeavingNothingElse)
{
    const QString path = dir.filePath("picture.bmp");
    for (const QByteArray& bytes : {QByteArray("first"), QByteArray(100000, 'x'), QByteArray()}) {
        writeFileAtomically(path, bytes);
        EXPECT_EQ(readWholeFile(path), bytes);
    }
    // The longest file names still get a temporary.
    const QString longest = dir.filePath(QString(251, 'n') + ".bmp");
    writeFileAtomically(longest, "long");
    EXPECT_EQ(fileBytes(longest), "long");
    EXPECT_EQ(files(dir.path()), (QStringList{QString(251, 'n') + ".bmp", "picture.bmp"}));
    // A failed write never creates the target.
    setAtomicWriteFault(AtomicWriteFault::Write);
    EXPECT_FALSE(errorText([&] { writeFileAtomically(dir.filePath("new.bmp"), "data"); }).isEmpty());
    EXPECT_EQ(files(dir.path()).size(), 2);
}

TEST_F(AtomicFile, KeepsTheOwnerGroupPermissionsAndSymbolicLinkOfTheReplacedFile)
{
    const QString path = dir.filePath("shared.jpg"), link = dir.filePath("link.jpg");
    const QByteArray native = QFile::encodeName(path);
    writeFileAtomically(path, "old");
    ASSERT_EQ(::chmod(native.constData(), 0640), 0);
    // Only root can give a file away; others keep their own ids.
    const bool root = ::geteuid() == 0;
    const uid_t uid = root ? 4321 : ::geteuid();
    const gid_t gid = root ? 8765 : ::getegid();
    ASSERT_EQ(::chown(native.constData(), uid, gid), 0);
    ASSERT_TRUE(QFile::link(path, link));
    writeFileAtomically(link, "new");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(fileBytes(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(native.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, uid);
    EXPECT_EQ(st.st_gid, gid);
}

TEST_F(AtomicFile, RefusalsCarryTheSystemsReason)
{
    const QString locked = dir.filePath("locked"), folder = dir.filePath("folder.bmp");
    ASSERT_TRUE(QDir().mkdir(locked) && QDir().mkdir(folder));
    if (::geteuid() == 0) // root writes anywhere: let the seam refuse as the system would
        setAtomicWriteFault(AtomicWriteFault::Open, EACCES);
    else
        ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0555), 0);
    const auto write = [](const QString& p) { return errorText([&] { writeFileAtomically(p, "x"); }); };
    EXPECT_EQ(write(locked + "/a.bmp"), msg::cannotCreate(locked + "/a.bmp", "Permission denied"));
    setAtomicWriteFault(AtomicWriteFault::None);
    ::chmod(QFile::encodeName(locked).constData(), 0755);
    EXPECT_TRUE(files(locked).isEmpty());
    EXPECT_EQ(write(dir.filePath("nowhere/a.jpg")), msg::cannotCreate(dir.filePath("nowhere/a.jpg"), "No such file or directory"));
    EXPECT_EQ(write(folder), msg::cannotCreate(folder, "Is a directory"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(errorText([&] { readWholeFile(folder); }), msg::cannotOpen(folder, "Is a directory"));
}

} // namespace
