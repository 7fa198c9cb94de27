#include "graphics/AtomicFile.h"

#include "graphics/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

AtomicWriteFault g_fault = AtomicWriteFault::None;
int g_faultError = EIO;

// Files beyond this are no picture or collection of ours.
constexpr qint64 MaxReadBytes = qint64(1) << 31;

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

bool writeAll(int fd, const char* p, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, p, std::size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        size -= n;
    }
    return true;
}

} // namespace

void setAtomicWriteFault(AtomicWriteFault step, int error)
{
    g_fault = step;
    g_faultError = error;
}

void writeFileAtomically(const QString& path, const QByteArray& data)
{
    auto fail = [&](int err) { throw AppError(msg::cannotCreate(path, osText(err))); };

    // Write through a symbolic link rather than replacing the link itself.
    const QFileInfo given(path);
    const QFileInfo target(given.isSymLink() ? given.symLinkTarget() : given.absoluteFilePath());
    const QByteArray targetName = QFile::encodeName(target.absoluteFilePath());

    struct stat old {};
    const bool existed = ::stat(targetName.constData(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        fail(EISDIR);
    // Renaming would replace a read-only file; refuse as a plain write would.
    if (existed && ::access(targetName.constData(), W_OK) != 0)
        fail(errno);
    const mode_t mode = existed ? (old.st_mode & 07777) : 0666;

    TempFile tmp;
    // A shortened name keeps the temporary's name within the system's limit.
    const QString prefix =
        target.absolutePath() + QLatin1String("/.") + target.fileName().left(64) + QLatin1Char('.');
    for (int attempt = 0;; ++attempt) {
        if (faultAt(AtomicWriteFault::Open))
            fail(errno);
        const QByteArray name =
            QFile::encodeName(prefix + QString::number(QRandomGenerator::global()->generate(), 36) + ".tmp");
        tmp.fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (tmp.fd >= 0) {
            tmp.name = name;
            break;
        }
        if (errno != EEXIST || attempt >= 100)
            fail(errno);
    }
    // The umask may have narrowed the old file's permissions.
    if (existed)
        ::fchmod(tmp.fd, mode);

    // A Write fault lets the first half through, then strikes.
    const char* p = data.constData();
    const qint64 firstPart = g_fault == AtomicWriteFault::Write ? data.size() / 2 : data.size();
    if (!writeAll(tmp.fd, p, firstPart) || faultAt(AtomicWriteFault::Write) ||
        !writeAll(tmp.fd, p + firstPart, data.size() - firstPart))
        fail(errno);

    if (faultAt(AtomicWriteFault::Flush) || ::fsync(tmp.fd) != 0)
        fail(errno);
    const int fd = tmp.fd;
    tmp.fd = -1;
    if (::close(fd) != 0)
        fail(errno);
    if (faultAt(AtomicWriteFault::Commit) || ::rename(tmp.name.constData(), targetName.constData()) != 0)
        fail(errno);
    tmp.name.clear();

    // Make the rename itself durable; the data is already safe either way.
    const int dirFd =
        ::open(QFile::encodeName(target.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

QByteArray readWholeFile(const QString& path)
{
    auto fail = [&](int err) { throw AppError(msg::cannotOpen(path, osText(err))); };
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat st {};
    if (::fstat(fd, &st) != 0)
        fail(errno);
    if (S_ISDIR(st.st_mode))
        fail(EISDIR);
    if (S_ISREG(st.st_mode) && st.st_size > MaxReadBytes)
        fail(EFBIG);

    QByteArray out;
    if (S_ISREG(st.st_mode))
        out.reserve(qsizetype(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        if (n == 0)
            break;
        if (out.size() + n > MaxReadBytes)
            fail(EFBIG);
        out.append(buffer, qsizetype(n));
    }
    return out;
}
