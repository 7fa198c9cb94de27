// The atomic writer's own behaviour, and what every read and write takes
// for a file; every writer under every injected failure is
// tests/hardening/FaultInjectionTest.
#include "core/FileNames.h"
#include "core/RegularFile.h"
#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Printers.h"
#include "tests/support/WriteFaults.h"

#include <QCryptographicHash>
#include <QDir>
#include <QMap>
#include <QTemporaryDir>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
#include <functional>
#include <future>
#include <thread>

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
    EXPECT_EQ(fileBytes(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(native.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, uid);
    EXPECT_EQ(st.st_gid, gid);
}

TEST(RegularFileCap, NoReadRunsPastIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("big.bmp");
    writeFileAtomically(path, QByteArray(100000, 'x'));
    RegularFile file(path);
    EXPECT_EQ(file.readHead(10), QByteArray(10, 'x'));
    EXPECT_EQ(file.readAll(100000).size(), 100000);
    EXPECT_EQ(errorText([&] { file.readAll(99999); }),
              QStringLiteral("Cannot open file \"%1\". File too large").arg(path));

    // Grown since it was opened: read whole and in order, within the cap.
    QByteArray more(300001, '\0');
    for (qsizetype i = 0; i < more.size(); ++i)
        more[i] = char(i * 7 % 251);
    QFile grow(path);
    ASSERT_TRUE(grow.open(QIODevice::Append));
    ASSERT_EQ(grow.write(more), more.size());
    grow.close();
    EXPECT_TRUE(file.readAll() == QByteArray(100000, 'x') + more);
    EXPECT_EQ(file.readAll(400001).size(), 400001);
    EXPECT_EQ(errorText([&] { file.readAll(400000); }),
              QStringLiteral("Cannot open file \"%1\". File too large").arg(path));
}


QString digest(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

// What each name under `root` is: a link and where it leads, a file and its
// bytes' digest, or another kind.
QMap<QString, QString> tree(const QString& root, const QString& under = {})
{
    QMap<QString, QString> all;
    DIR* d = ::opendir(QFile::encodeName(root + under).constData());
    while (const dirent* e = d ? ::readdir(d) : nullptr) {
        const QString name = under + "/" + QFile::decodeName(e->d_name);
        const QByteArray native = QFile::encodeName(root + name);
        struct stat st {};
        if (name.endsWith("/.") || name.endsWith("/..") || ::lstat(native.constData(), &st) != 0)
            continue;
        if (S_ISLNK(st.st_mode))
            all[name] = "link to " + QFile::symLinkTarget(root + name);
        else if (S_ISREG(st.st_mode))
            all[name] = digest(fileBytes(root + name));
        else if (S_ISDIR(st.st_mode))
            all.insert(tree(root, name));
        else
            all[name] = QStringLiteral("kind %1, device %2").arg(st.st_mode & S_IFMT).arg(st.st_rdev);
    }
    if (d)
        ::closedir(d);
    return all;
}

struct TargetCase {
    const char* name;
    // Makes what the name leads to under `d`; answers the name.
    std::function<QString(const QString& d)> make;
    const char* refusal; // why a read is refused, and a write too unless it lands
    const char* landsIn; // the file under `d` a write lands in, else nothing is written
    bool writes = true;  // false for the system's own devices
};

bool link(const QString& at, const QString& to)
{
    return ::symlink(QFile::encodeName(to).constData(), QFile::encodeName(at).constData()) == 0;
}

QString node(const QString& at, mode_t kind)
{
    ::mknod(QFile::encodeName(at).constData(), kind | 0666, kind == S_IFCHR ? makedev(1, 3) : 0);
    return at;
}

QString socketAt(const QString& at)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(at).constData(), sizeof address.sun_path - 1);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::close(fd);
    return at;
}

QString chain(const QString& d, const QString& end)
{
    link(d + "/sub/mid", end);
    link(d + "/sub/top", "mid");
    return d + "/sub/top";
}

class Targets : public ::testing::TestWithParam<TargetCase> {};

// A name is read and written as the file at the end of its chain of links,
// every link kept; one that leads to anything but a regular file is refused
// at once (a FIFO would hold the reader for good, /dev/zero never ends),
// before a byte is written, and everything stays as it was.
TEST_P(Targets, AreTheFileAtTheEndOfEveryLinkOrRefusedAtOnce)
{
    const TargetCase& c = GetParam();
    QTemporaryDir dir;
    const QString d = dir.path();
    QDir(d).mkpath("real");
    QDir(d).mkpath("sub");
    ASSERT_TRUE(putBytes(d + "/real/real.jpg", "old"));
    const QString name = c.make(d);
    if (QByteArray(c.name).contains("Device") && ::geteuid() != 0)
        GTEST_SKIP() << "only root makes device nodes";
    // On a worker: a reader that waits on a FIFO is let go below, and fails.
    std::promise<QString> result;
    std::thread reader(
        [&] { result.set_value(errorText([&] { EXPECT_EQ(readWholeFile(name), "old") << c.name; })); });
    std::future<QString> done = result.get_future();
    const bool atOnce = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!atOnce)
        ::close(::open(QFile::encodeName(name).constData(), O_WRONLY | O_NONBLOCK));
    reader.join();
    EXPECT_TRUE(atOnce) << "the read waited";
    EXPECT_EQ(done.get(), *c.refusal ? msg::cannotOpen(name, c.refusal) : QString());
    if (!c.writes)
        return;

    QMap<QString, QString> want = tree(d);
    const QString text = errorText([&] { writeFileAtomically(name, "new"); });
    if (*c.landsIn) {
        EXPECT_EQ(text, QString());
        want[c.landsIn] = digest("new");
    } else {
        EXPECT_EQ(text, msg::cannotCreate(name, c.refusal));
    }
    EXPECT_EQ(tree(d), want);
}

const char* const Pipe = "It is a named pipe, not a regular file.";
const char* const Device = "It is a device, not a regular file.";
const char* const Missing = "No such file or directory";

using D = const QString&;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Names, Targets, ::testing::Values(
    TargetCase{"Regular", [](D d) { return d + "/real/real.jpg"; }, "", "/real/real.jpg"},
    TargetCase{"NotThereYet", [](D d) { return d + "/sub/new.jpg"; }, Missing, "/sub/new.jpg"},
    TargetCase{"InAFolderNotThere", [](D d) { return d + "/none/new.jpg"; }, Missing, ""},
    TargetCase{"ChainOfLinks", [](D d) { return chain(d, "../real/real.jpg"); }, "", "/real/real.jpg"},
    TargetCase{"ChainThroughAnAbsoluteLink", [](D d) { link(d + "/real/abs", "real.jpg"); return chain(d, d + "/real/abs"); }, "", "/real/real.jpg"},
    TargetCase{"ChainToAFileNotThereYet", [](D d) { return chain(d, "../real/new.jpg"); }, Missing, "/real/new.jpg"},
    TargetCase{"LinkLoop", [](D d) { return chain(d, "top"); }, "Too many levels of symbolic links", ""},
    TargetCase{"Fifo", [](D d) { return node(d + "/sub/f.jpg", S_IFIFO); }, Pipe, ""},
    TargetCase{"ChainToAFifo", [](D d) { return chain(d, node(d + "/real/f", S_IFIFO)); }, Pipe, ""},
    TargetCase{"Socket", [](D d) { return socketAt(d + "/sub/s.jpg"); }, "It is a socket, not a regular file.", ""},
    TargetCase{"Device", [](D d) { return node(d + "/sub/null.jpg", S_IFCHR); }, Device, ""},
    TargetCase{"ChainToADevice", [](D d) { return chain(d, node(d + "/real/null", S_IFCHR)); }, Device, ""},
    TargetCase{"LinkToZero", [](D d) { return chain(d, "/dev/zero"); }, Device, "", false},
    TargetCase{"Urandom", [](D) { return QStringLiteral("/dev/urandom"); }, Device, "", false},
    TargetCase{"Folder", [](D d) { return d + "/real"; }, "Is a directory", ""},
    TargetCase{"LinkToAFolder", [](D d) { return chain(d, "../real"); }, "Is a directory", ""}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct NameCase {
    const char* name;
    QByteArray bytes; // the name as the file system holds it
    bool refused;     // a NUL: no file can have the name
};

class ForeignNames : public ::testing::TestWithParam<NameCase> {};

// Any name the file system holds is written and read as those very bytes;
// one with a NUL is refused with a message that shows where it is.
TEST_P(ForeignNames, ReachTheFileOfTheirBytesOrAreRefused)
{
    QTemporaryDir dir;
    const QString name = fileNameFromNative(QFile::encodeName(dir.path()) + '/' + GetParam().bytes);
    const QString wrote = errorText([&] { writeFileAtomically(name, "data"); });
    const QString read = errorText([&] { EXPECT_EQ(readWholeFile(name), "data"); });
    QList<QByteArray> held;
    DIR* d = ::opendir(QFile::encodeName(dir.path()).constData());
    while (const dirent* e = ::readdir(d))
        if (e->d_name[0] != '.')
            held << e->d_name;
    ::closedir(d);
    if (GetParam().refused) {
        const QString refusal = QStringLiteral("The file name \"%1/a\\0b.jpg\" holds a NUL character, which "
                                               "no file name can hold.")
                                    .arg(dir.path());
        EXPECT_EQ(wrote, refusal);
        EXPECT_EQ(read, refusal);
        EXPECT_TRUE(held.isEmpty());
    } else {
        EXPECT_EQ(wrote, QString());
        EXPECT_EQ(read, QString());
        EXPECT_EQ(held, QList<QByteArray>{GetParam().bytes});
        EXPECT_EQ(folderEntries(dir.path()), QStringList{name.mid(dir.path().size() + 1)});
        ::unlink(nativeFileName(name).constData()); // Qt's clean-up can't name it
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Bytes, ForeignNames, ::testing::Values(
    NameCase{"Latin1", "latin1-\xE9\xE8.jpg", false}, NameCase{"Utf8AndStrayBytes", "caf\xC3\xA9-\xFF\xC3.jpg", false},
    NameCase{"EncodedSurrogate", "\xED\xA0\x80.jpg", false}, NameCase{"Utf8", "\xE6\x97\xA5.jpg", false},
    NameCase{"Nul", QByteArray("a\0b.jpg", 7), true}), [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct KillCase {
    const char* name;
    bool inPlace; // another hard link makes the write go in place
    AtomicWriteFault step;
};

class KilledWrites : public ::testing::TestWithParam<KillCase> {
protected:
    void SetUp() override
    {
        savedCache = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_CACHE_HOME", savedCache); }
    QTemporaryDir dir, cache;
    QByteArray savedCache;
};

// Whatever a killed write leaves goes: its temporary at the next write into
// that folder, its kept bytes at the next start, which puts a file left
// half written back as it was. What is younger than this run stays.
TEST_P(KilledWrites, LeaveNothingOnceTheNextRunWritesOrStarts)
{
    const KillCase& c = GetParam();
    const QString path = dir.filePath("pic.jpg"), other = dir.filePath("other.jpg");
    QByteArray old(200000, '\0');
    for (qsizetype i = 0; i < old.size(); ++i)
        old[i] = char(i % 251);
    // Not through the writer: this process is the run after the kill, and
    // has written nothing into the folder yet.
    ASSERT_TRUE(putBytes(path, old));
    if (c.inPlace) {
        ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    }
    const QMap<QString, QString> before = tree(dir.path());
    const pid_t child = ::fork();
    if (child == 0) {
        setAtomicWriteKill(c.step);
        writeFileAtomically(path, QByteArray(300000, 'n'));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ASSERT_NE(tree(dir.path()).keys() + tree(cache.path()).keys(), before.keys()) << "the kill left nothing";

    // The killed run was before this one: all it left is older.
    const timespec anHourAgo[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
    for (const QString& root : {dir.path(), cache.path()})
        for (const QString& name : tree(root).keys())
            ::utimensat(AT_FDCWD, QFile::encodeName(root + name).constData(), anHourAgo, AT_SYMLINK_NOFOLLOW);
    const QString ours = dir.filePath(".pic.jpg.pictavo-now.tmp");
    ASSERT_TRUE(putBytes(ours, "a write of this run"));

    EXPECT_EQ(recoverInterruptedWrites(), c.inPlace ? QStringList{path} : QStringList());
    writeFileAtomically(dir.filePath("next.jpg"), "next");
    QMap<QString, QString> want = before;
    want["/next.jpg"] = digest("next");
    want["/.pic.jpg.pictavo-now.tmp"] = digest("a write of this run");
    EXPECT_EQ(tree(dir.path()), want);
    EXPECT_EQ(tree(cache.path()), (QMap<QString, QString>{}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Steps, KilledWrites, ::testing::Values(KillCase{"AtTheRename", false, AtomicWriteFault::Commit},
    KillCase{"HalfwayInPlace", true, AtomicWriteFault::Write}), [](const auto& info) { return std::string(info.param.name); });
// clang-format on

} // namespace
