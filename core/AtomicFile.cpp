#include "core/AtomicFile.h"

#include "core/FileNames.h"
#include "core/RegularFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a write of this run leaves is younger than this; anything of ours
// that is older and not in use was left by a run that ended.
const std::time_t g_runStart = std::time(nullptr);

// The system's own limit on links followed to open one name.
constexpr int MaxLinks = 40;
// ".NAME.pictavo-RANDOM.tmp": the marker keeps other programs' files safe
// from the clean-up.
constexpr char TempMarker[] = ".pictavo-";
constexpr char TempSuffix[] = ".tmp";
constexpr char BackupSuffix[] = ".bak";
constexpr char JournalSuffix[] = ".journal";
constexpr char JournalTitle[] = "pictavo in-place write";
// A journal names a write that began at most this long before its
// target's last change; a later change is someone else's.
constexpr std::time_t WriteWindowSeconds = 600;

QString osText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool faultAt(AtomicWriteFault step)
{
    const PlantedWriteFaults planted = plantedWriteFaults();
    if (planted.kill == step)
        ::kill(::getpid(), SIGKILL);
    if (planted.fault != step)
        return false;
    errno = planted.error;
    return true;
}

[[noreturn]] void fail(const QString& path, int err, const QString& backup = {})
{
    throw FileWriteError(path, err, backup);
}

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Owns the temporary file until it has been renamed over the target; on
// any other way out it is closed and removed.
struct TempFile {
    int fd = -1;
    QByteArray name;
    ~TempFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (!name.isEmpty())
            ::unlink(name.constData());
    }
};

bool writeAll(int fd, const char* p, qint64 size, off_t at = -1)
{
    while (size > 0) {
        const ssize_t n = at < 0 ? ::write(fd, p, std::size_t(size)) : ::pwrite(fd, p, std::size_t(size), at);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        size -= n;
        if (at >= 0)
            at += n;
    }
    return true;
}

// Writes data from `at` on (or at the file position), a Write or Restore
// fault striking halfway.
bool writeWithFaults(int fd, const char* data, qint64 size, off_t at)
{
    const PlantedWriteFaults planted = plantedWriteFaults();
    const bool strikes =
        planted.fault == AtomicWriteFault::Write || planted.fault == AtomicWriteFault::Restore;
    const bool killed = planted.kill == AtomicWriteFault::Write;
    const qint64 firstPart = strikes || killed ? size / 2 : size;
    if (!writeAll(fd, data, firstPart, at))
        return false;
    if (killed)
        faultAt(AtomicWriteFault::Write);
    if (strikes) {
        errno = planted.error;
        return false;
    }
    return writeAll(fd, data + firstPart, size - firstPart, at < 0 ? at : at + firstPart);
}

using Producer = std::function<void(const ByteSink&)>;

bool readAll(int fd, QByteArray& out)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        if (out.size() + n > MaxReadBytes) {
            errno = EFBIG;
            return false;
        }
        out.append(buffer, qsizetype(n));
    }
}

QByteArray folderPart(const QByteArray& absoluteName)
{
    const qsizetype slash = absoluteName.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : absoluteName.left(slash);
}

QByteArray lastPart(const QByteArray& absoluteName)
{
    return absoluteName.mid(absoluteName.lastIndexOf('/') + 1);
}

void syncFolder(const QByteArray& folder)
{
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

QByteArray randomPart()
{
    return QByteArray::number(QRandomGenerator::global()->generate(), 36);
}

// The file a write of `path` lands on: the end of its chain of symbolic
// links, each relative link read against its own folder. The end need not
// exist yet.
QByteArray finalTarget(const QString& path)
{
    QByteArray name = checkedNativeName(absoluteFileName(path));
    for (int hop = 0;; ++hop) {
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return name;
        if (hop == MaxLinks)
            fail(path, ELOOP);
        QByteArray to(qsizetype(st.st_size > 0 ? st.st_size : 4095) + 1, '\0');
        const ssize_t n = ::readlink(name.constData(), to.data(), std::size_t(to.size()));
        if (n < 0)
            fail(path, errno);
        to.truncate(qsizetype(n));
        name = to.startsWith('/') ? to : folderPart(name) + '/' + to;
    }
}

// Whether `name` in the folder open as `dirFd` is a temporary that a write
// of ours left when it was killed: our pattern, our own, older than this
// run and held by no writer.
bool isLeftTemporary(int dirFd, const QByteArray& name)
{
    if (!name.startsWith('.') || !name.endsWith(TempSuffix))
        return false;
    const QByteArray stem = name.chopped(int(std::strlen(TempSuffix)));
    const qsizetype dot = stem.lastIndexOf('.');
    if (dot <= 0)
        return false;
    QByteArray random = stem.mid(dot + 1);
    bool marked = false;
    if (random.startsWith(TempMarker + 1)) {
        random.remove(0, qsizetype(std::strlen(TempMarker) - 1));
        marked = true;
    }
    if (random.isEmpty() || random.size() > 7)
        return false;
    for (const char c : random)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    struct stat st {};
    // Without the marker (older versions of ours), only beside the file it
    // was to replace.
    if (!marked && ::fstatat(dirFd, stem.mid(1, dot - 1).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid() || st.st_mtime >= g_runStart)
        return false;
    Fd f{::openat(dirFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    return f.fd >= 0 && ::flock(f.fd, LOCK_EX | LOCK_NB) == 0;
}

// Before each write into the folder: a folder read costs little beside the
// write, and this way no list of folders cleaned is kept.
void removeLeftTemporaries(const QByteArray& folder)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (isLeftTemporary(dirFd, name))
            ::unlinkat(dirFd, name.constData(), 0);
    }
    ::closedir(dir);
}

QByteArray digest(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

// The old bytes of an in-place rewrite, kept in backupFolder() as NAME.bak,
// and beside them NAME.journal, which says what was being written where,
// for the case that the write is killed. The journal is locked while the
// write runs, so no other program's start takes it for left behind.
struct Backup {
    QByteArray journal;
    QByteArray copy;
    int journalFd = -1;
    ~Backup()
    {
        if (journalFd >= 0)
            ::close(journalFd);
    }
    // The write is over (or undone): neither is needed.
    void remove()
    {
        ::unlink(copy.constData());
        ::unlink(journal.constData());
    }
};

bool writeJournal(int fd, const QByteArray& target, const struct stat& st, const QByteArray& old,
                  const QByteArray& now)
{
    const QByteArray text = QByteArray(JournalTitle) + "\ntarget=" + target.toHex() +
                            "\nfile=" + QByteArray::number(quint64(st.st_dev)) + ' ' +
                            QByteArray::number(quint64(st.st_ino)) +
                            "\nold=" + QByteArray::number(old.size()) + ' ' + digest(old) +
                            "\nnew=" + QByteArray::number(now.size()) + ' ' + digest(now) + '\n';
    return writeAll(fd, text.constData(), text.size()) && ::fsync(fd) == 0;
}

// Keeps the old bytes aside, the journal first. False with errno set.
bool keepOldBytes(Backup& b, const QByteArray& target, const struct stat& st, const QByteArray& old,
                  const QByteArray& now)
{
    if (faultAt(AtomicWriteFault::Backup))
        return false;
    const QString folder = backupFolder();
    errno = 0;
    if (!QDir().mkpath(folder)) {
        if (errno == 0)
            errno = EACCES;
        return false;
    }
    const QByteArray base = nativeFileName(folder + u'/' + fileNameFromNative(lastPart(target)).left(64));
    for (int attempt = 0;; ++attempt) {
        const QByteArray stem = base + '.' + randomPart();
        b.journal = stem + JournalSuffix;
        b.journalFd = ::open(b.journal.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (b.journalFd >= 0) {
            b.copy = stem + BackupSuffix;
            break;
        }
        if (errno != EEXIST || attempt >= 100)
            return false;
    }
    Fd copy{::open(b.copy.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600)};
    if (::flock(b.journalFd, LOCK_EX) == 0 && writeJournal(b.journalFd, target, st, old, now) &&
        copy.fd >= 0 && writeAll(copy.fd, old.constData(), old.size()) && ::fsync(copy.fd) == 0)
        return true;
    const int err = errno;
    b.remove();
    errno = err;
    return false;
}

bool putBack(int fd, const QByteArray& old)
{
    if (faultAt(AtomicWriteFault::Restore) || !writeAll(fd, old.constData(), old.size(), 0))
        return false;
    return ::ftruncate(fd, off_t(old.size())) == 0 && ::fsync(fd) == 0;
}

// Opens an existing regular file for rewriting; -1 with errno set.
int openRegularForWriting(const QByteArray& name, struct stat& st)
{
    const int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISREG(st.st_mode) ? errno : EINVAL;
        ::close(fd);
        errno = err;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Rewrites the file itself, so every name, the owner, the group and the
// permissions stay as they are. The old bytes are kept in memory and in a
// backup copy until the new ones are safely on disk.
void writeInPlace(const QString& path, const QByteArray& targetName, const Producer& produce)
{
    // Made whole first: the producer may still be reading the very file.
    QByteArray data;
    produce([&data](const char* p, qint64 n) { data.append(p, qsizetype(n)); });
    struct stat st {};
    Fd f{openRegularForWriting(targetName, st)};
    if (f.fd < 0)
        fail(path, errno);
    QByteArray old;
    if (!readAll(f.fd, old))
        fail(path, errno);
    Backup backup;
    if (!keepOldBytes(backup, targetName, st, old, data))
        fail(path, errno);

    if (!writeWithFaults(f.fd, data.constData(), data.size(), 0) ||
        ::ftruncate(f.fd, off_t(data.size())) != 0 || faultAt(AtomicWriteFault::Flush) ||
        ::fsync(f.fd) != 0) {
        const int err = errno;
        if (!putBack(f.fd, old)) {
            // The copy is the user's now: it is named in the message and no
            // start takes it back.
            ::unlink(backup.journal.constData());
            fail(path, err, fileNameFromNative(backup.copy));
        }
        backup.remove();
        fail(path, err);
    }
    backup.remove();
}

// The temporary file takes the old file's owner and group where the system
// lets us; answers false where it doesn't, so a rename would change them.
bool takeOwnership(int fd, const struct stat& old)
{
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return false;
    if (now.st_uid == old.st_uid && now.st_gid == old.st_gid)
        return true;
    return ::fchown(fd, old.st_uid, old.st_gid) == 0;
}

// Creates the temporary beside the target and locks it while it is ours.
// False when the folder takes no new file but the existing file may still
// be rewritten in place.
bool createTemporary(TempFile& tmp, const QString& path, const QByteArray& targetName, mode_t mode,
                     bool canRewrite)
{
    // A shortened name keeps the temporary's name within the system's limit.
    const QByteArray prefix = folderPart(targetName) + "/." +
                              nativeFileName(fileNameFromNative(lastPart(targetName)).left(64)) + TempMarker;
    for (int attempt = 0;; ++attempt) {
        const QByteArray name = prefix + randomPart() + TempSuffix;
        if (plantedWriteFaults().folderRefuses) {
            errno = EACCES;
        } else if (!faultAt(AtomicWriteFault::Open)) {
            tmp.fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
            if (tmp.fd >= 0) {
                tmp.name = name;
                ::flock(tmp.fd, LOCK_EX);
                return true;
            }
        }
        if (canRewrite && (errno == EACCES || errno == EPERM))
            return false;
        if (errno != EEXIST || attempt >= 100)
            fail(path, errno);
    }
}

// Writes, flushes and closes the temporary, then renames it over the target.
void commitTemporary(TempFile& tmp, const QString& path, const QByteArray& targetName,
                     const Producer& produce)
{
    bool first = true;
    produce([&](const char* p, qint64 n) {
        // A Write fault strikes halfway through the first piece.
        if (!(first ? writeWithFaults(tmp.fd, p, n, -1) : writeAll(tmp.fd, p, n)))
            fail(path, errno);
        first = false;
    });
    if (faultAt(AtomicWriteFault::Flush) || ::fsync(tmp.fd) != 0)
        fail(path, errno);
    // The lock stays on a second descriptor until the rename is done.
    Fd lock{::dup(tmp.fd)};
    const int fd = tmp.fd;
    tmp.fd = -1;
    if (::close(fd) != 0)
        fail(path, errno);
    if (faultAt(AtomicWriteFault::Commit) || ::rename(tmp.name.constData(), targetName.constData()) != 0)
        fail(path, errno);
    tmp.name.clear();
}

// One journal of a write that was killed: put its file back if it was
// left torn, then let both go. False while the file can't be put back.
bool settleJournal(const QByteArray& journal, QStringList& restored)
{
    Fd j{::open(journal.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
    struct stat js {};
    if (j.fd < 0 || ::fstat(j.fd, &js) != 0 || !S_ISREG(js.st_mode) || js.st_uid != ::geteuid() ||
        js.st_mtime >= g_runStart || ::flock(j.fd, LOCK_EX | LOCK_NB) != 0)
        return true; // another run's, or not ours to judge
    QByteArray text;
    if (!readAll(j.fd, text) || text.size() > 65536)
        return true;
    QByteArray target, oldDigest, newDigest;
    qint64 oldSize = -1, newSize = -1;
    quint64 device = 0, inode = 0;
    const QList<QByteArray> lines = text.split('\n');
    if (lines.value(0) != JournalTitle)
        return true;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> words = line.mid(line.indexOf('=') + 1).split(' ');
        if (line.startsWith("target="))
            target = QByteArray::fromHex(words.value(0));
        else if (line.startsWith("file=")) {
            device = words.value(0).toULongLong();
            inode = words.value(1).toULongLong();
        } else if (line.startsWith("old=")) {
            oldSize = words.value(0).toLongLong();
            oldDigest = words.value(1);
        } else if (line.startsWith("new=")) {
            newSize = words.value(0).toLongLong();
            newDigest = words.value(1);
        }
    }
    const QByteArray copyName = journal.chopped(int(std::strlen(JournalSuffix))) + BackupSuffix;
    const auto drop = [&] {
        ::unlink(copyName.constData());
        ::unlink(journal.constData());
        return true;
    };
    QByteArray old;
    {
        Fd copy{::open(copyName.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
        // The copy never got whole: the file was not touched yet.
        if (copy.fd < 0 || !readAll(copy.fd, old) || old.size() != oldSize || digest(old) != oldDigest)
            return drop();
    }
    struct stat st {};
    Fd f{target.isEmpty() ? -1 : openRegularForWriting(target, st)};
    if (f.fd < 0 || quint64(st.st_dev) != device || quint64(st.st_ino) != inode ||
        st.st_mtime > js.st_mtime + WriteWindowSeconds) {
        // Gone, replaced or changed since by someone else: theirs now. The
        // copy stays, a plain file of the old bytes.
        ::unlink(journal.constData());
        return true;
    }
    QByteArray now;
    if (!readAll(f.fd, now))
        return false;
    const bool whole = (now.size() == newSize && digest(now) == newDigest) ||
                       (now.size() == oldSize && digest(now) == oldDigest);
    if (!whole) {
        if (!writeAll(f.fd, old.constData(), old.size(), 0) || ::ftruncate(f.fd, off_t(old.size())) != 0 ||
            ::fsync(f.fd) != 0)
            return false;
        restored << fileNameFromNative(target);
    }
    return drop();
}

} // namespace

FileWriteError::FileWriteError(const QString& path, int error, const QString& backup)
    : AppError(msg::cannotCreate(path, osText(error)) +
               (backup.isEmpty() ? QString() : QLatin1Char(' ') + msg::backupKept(backup))),
      m_error(error), m_backup(backup)
{
}

FileWriteError::FileWriteError(const QString& path, const QString& reason)
    : AppError(msg::cannotCreate(path, reason)), m_error(0)
{
}

QString FileWriteError::backupNote() const
{
    return m_backup.isEmpty() ? QString() : QLatin1Char(' ') + msg::backupKept(m_backup);
}

QString backupFolder()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    // Relative values are invalid and ignored.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(base + QStringLiteral("/pictavo"));
}

// Weak: a test build links its own (tests/support/WriteFaults.cpp).
__attribute__((weak)) PlantedWriteFaults plantedWriteFaults() noexcept
{
    return {};
}

QStringList recoverInterruptedWrites()
{
    QStringList restored;
    const QByteArray folder = nativeFileName(backupFolder());
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return restored;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name.endsWith(JournalSuffix))
            settleJournal(folder + '/' + name, restored);
    }
    ::closedir(dir);
    return restored;
}

void writeFileAtomically(const QString& path, const QByteArray& data)
{
    writeFileAtomically(path, [&data](const ByteSink& put) { put(data.constData(), data.size()); });
}

void writeFileAtomically(const QString& path, const Producer& data)
{
    // Through every link to the file at the end, so that each link stays.
    const QByteArray targetName = finalTarget(path);

    struct stat old {};
    const bool existed = ::stat(targetName.constData(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        fail(path, EISDIR);
    // A rename would put a file where a device, FIFO or socket was; a
    // write into one might do anything.
    if (existed && !S_ISREG(old.st_mode))
        throw FileWriteError(path, notRegularReason(old.st_mode));
    // Renaming would replace a read-only file; refuse as a plain write would.
    if (existed && ::access(targetName.constData(), W_OK) != 0)
        fail(path, errno);
    removeLeftTemporaries(folderPart(targetName));
    // A rename would leave the other names on the old bytes.
    if (existed && old.st_nlink > 1)
        return writeInPlace(path, targetName, data);
    const mode_t mode = existed ? (old.st_mode & 07777) : 0666;

    TempFile tmp;
    if (!createTemporary(tmp, path, targetName, mode, existed))
        return writeInPlace(path, targetName, data);
    if (existed) {
        if (!takeOwnership(tmp.fd, old)) {
            ::close(tmp.fd);
            tmp.fd = -1;
            ::unlink(tmp.name.constData());
            tmp.name.clear();
            return writeInPlace(path, targetName, data);
        }
        // The umask may have narrowed the old file's permissions, and a
        // change of owner clears the set-id bits.
        ::fchmod(tmp.fd, mode);
    }

    commitTemporary(tmp, path, targetName, data);

    // Make the rename itself durable; the data is already safe either way.
    syncFolder(folderPart(targetName));
}

QByteArray readWholeFile(const QString& path)
{
    return RegularFile(path).readAll();
}
