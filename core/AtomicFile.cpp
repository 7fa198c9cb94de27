#include "core/AtomicFile.h"

#include "core/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Atomic: a test may set a fault while a batch worker is writing.
std::atomic<AtomicWriteFault> g_fault = AtomicWriteFault::None;
std::atomic<int> g_faultError = EIO;
std::atomic<bool> g_folderRefuses = false;

QString osText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool faultAt(AtomicWriteFault step)
{
    if (g_fault != step)
        return false;
    errno = g_faultError;
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
    const AtomicWriteFault fault = g_fault;
    const bool strikes = fault == AtomicWriteFault::Write || fault == AtomicWriteFault::Restore;
    const qint64 firstPart = strikes ? size / 2 : size;
    if (!writeAll(fd, data, firstPart, at))
        return false;
    if (strikes) {
        errno = g_faultError;
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

void syncFolder(const QString& folder)
{
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

// A private copy of the old bytes, for the case that they can't be put back.
// Answers its path, or empty with errno set.
QString writeBackup(const QString& target, const QByteArray& old)
{
    const QString folder = backupFolder();
    if (faultAt(AtomicWriteFault::Backup))
        return {};
    errno = 0;
    if (!QDir().mkpath(folder)) {
        if (errno == 0)
            errno = EACCES;
        return {};
    }
    const QString name = QFileInfo(target).fileName().left(64);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = folder + u'/' + name + u'.' +
                             QString::number(QRandomGenerator::global()->generate(), 36) +
                             QStringLiteral(".bak");
        const QByteArray native = QFile::encodeName(path);
        Fd f{::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
        if (f.fd < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        if (writeAll(f.fd, old.constData(), old.size()) && ::fsync(f.fd) == 0)
            return path;
        const int err = errno;
        ::unlink(native.constData());
        errno = err;
        return {};
    }
    return {};
}

bool putBack(int fd, const QByteArray& old)
{
    if (faultAt(AtomicWriteFault::Restore) || !writeAll(fd, old.constData(), old.size(), 0))
        return false;
    return ::ftruncate(fd, off_t(old.size())) == 0 && ::fsync(fd) == 0;
}

// Rewrites the file itself, so every name, the owner, the group and the
// permissions stay as they are. The old bytes are kept in memory and in a
// backup copy until the new ones are safely on disk.
void writeInPlace(const QString& path, const QByteArray& targetName, const Producer& produce)
{
    // Made whole first: the producer may still be reading the very file.
    QByteArray data;
    produce([&data](const char* p, qint64 n) { data.append(p, qsizetype(n)); });
    Fd f{::open(targetName.constData(), O_RDWR | O_CLOEXEC)};
    if (f.fd < 0)
        fail(path, errno);
    QByteArray old;
    if (!readAll(f.fd, old))
        fail(path, errno);
    const QString backup = writeBackup(path, old);
    if (backup.isEmpty())
        fail(path, errno);
    const QByteArray backupName = QFile::encodeName(backup);

    if (!writeWithFaults(f.fd, data.constData(), data.size(), 0) ||
        ::ftruncate(f.fd, off_t(data.size())) != 0 || faultAt(AtomicWriteFault::Flush) ||
        ::fsync(f.fd) != 0) {
        const int err = errno;
        if (!putBack(f.fd, old))
            fail(path, err, backup);
        ::unlink(backupName.constData());
        fail(path, err);
    }
    ::unlink(backupName.constData());
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

// Creates the temporary beside the target. False when the folder takes no
// new file but the existing file may still be rewritten in place.
bool createTemporary(TempFile& tmp, const QString& path, const QFileInfo& target, mode_t mode, bool canRewrite)
{
    // A shortened name keeps the temporary's name within the system's limit.
    const QString prefix =
        target.absolutePath() + QLatin1String("/.") + target.fileName().left(64) + QLatin1Char('.');
    for (int attempt = 0;; ++attempt) {
        const QByteArray name =
            QFile::encodeName(prefix + QString::number(QRandomGenerator::global()->generate(), 36) + ".tmp");
        if (g_folderRefuses) {
            errno = EACCES;
        } else if (!faultAt(AtomicWriteFault::Open)) {
            tmp.fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (tmp.fd >= 0) {
                tmp.name = name;
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
    const int fd = tmp.fd;
    tmp.fd = -1;
    if (::close(fd) != 0)
        fail(path, errno);
    if (faultAt(AtomicWriteFault::Commit) || ::rename(tmp.name.constData(), targetName.constData()) != 0)
        fail(path, errno);
    tmp.name.clear();
}

} // namespace

FileWriteError::FileWriteError(const QString& path, int error, const QString& backup)
    : AppError(msg::cannotCreate(path, osText(error)) +
               (backup.isEmpty() ? QString() : QLatin1Char(' ') + msg::backupKept(backup))),
      m_error(error), m_backup(backup)
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

void setAtomicWriteFault(AtomicWriteFault step, int error)
{
    g_fault = step;
    g_faultError = error;
}

void setFolderRefusesNewFiles(bool on)
{
    g_folderRefuses = on;
}

void writeFileAtomically(const QString& path, const QByteArray& data)
{
    writeFileAtomically(path, [&data](const ByteSink& put) { put(data.constData(), data.size()); });
}

void writeFileAtomically(const QString& path, const Producer& data)
{
    // Write through a symbolic link rather than replacing the link itself.
    const QFileInfo given(path);
    const QFileInfo target(given.isSymLink() ? given.symLinkTarget() : given.absoluteFilePath());
    const QByteArray targetName = QFile::encodeName(target.absoluteFilePath());

    struct stat old {};
    const bool existed = ::stat(targetName.constData(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        fail(path, EISDIR);
    // Renaming would replace a read-only file; refuse as a plain write would.
    if (existed && ::access(targetName.constData(), W_OK) != 0)
        fail(path, errno);
    // A rename would leave the other names on the old bytes.
    if (existed && S_ISREG(old.st_mode) && old.st_nlink > 1)
        return writeInPlace(path, targetName, data);
    const mode_t mode = existed ? (old.st_mode & 07777) : 0666;

    TempFile tmp;
    if (!createTemporary(tmp, path, target, mode, existed && S_ISREG(old.st_mode)))
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
    syncFolder(target.absolutePath());
}

QByteArray readWholeFile(const QString& path)
{
    return RegularFile(path).readAll();
}
