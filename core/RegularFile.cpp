#include "core/RegularFile.h"

#include "core/Errors.h"
#include "core/FileNames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

QString notRegularReason(unsigned mode)
{
    if (S_ISREG(mode))
        return QString();
    if (S_ISFIFO(mode))
        return msg::notRegularFile(QStringLiteral("named pipe"));
    if (S_ISSOCK(mode))
        return msg::notRegularFile(QStringLiteral("socket"));
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return msg::notRegularFile(QStringLiteral("device"));
    if (S_ISDIR(mode))
        return msg::notRegularFile(QStringLiteral("folder"));
    return QStringLiteral("It is not a regular file.");
}

RegularFile::RegularFile(const QString& path, ErrorText errorText)
    : m_path(path), m_errorText(std::move(errorText))
{
    const QByteArray name = checkedNativeName(path);
    // Looked at before opening: opening a device may already do something.
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        fail(errno);
    if (S_ISDIR(st.st_mode))
        fail(EISDIR);
    if (const QString reason = notRegularReason(st.st_mode); !reason.isEmpty())
        throw AppError(msg::cannotOpen(path, reason));
    // Non-blocking, so a FIFO put in its place meanwhile can't hang the open.
    m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0)
        fail(errno);
    // Thrown from here on, the constructor leaves no destructor to close it.
    const int statError = ::fstat(m_fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    const QString reason = statError ? QString() : notRegularReason(st.st_mode);
    if (statError || !reason.isEmpty())
        ::close(std::exchange(m_fd, -1));
    if (statError)
        fail(statError);
    if (!reason.isEmpty())
        throw AppError(msg::cannotOpen(path, reason));
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    m_size = qint64(st.st_size);
}

RegularFile::~RegularFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void RegularFile::fail(int error) const
{
    if (m_errorText)
        throw AppError(m_errorText(error));
    throw AppError(msg::cannotOpen(m_path, QString::fromLocal8Bit(std::strerror(error))));
}

QByteArray RegularFile::readAll(qint64 cap)
{
    if (m_size > cap)
        fail(EFBIG);
    // Read straight into the buffer, one byte past the size seen at open so
    // that a file grown since is noticed: a photo's bytes are copied once.
    QByteArray out;
    out.resize(qsizetype(m_size + 1));
    qint64 at = 0;
    for (;;) {
        if (at == out.size()) {
            if (at > cap)
                fail(EFBIG);
            out.resize(qsizetype(std::min<qint64>(cap + 1, at + std::max<qint64>(at / 2, 65536))));
        }
        const ssize_t n = ::pread(m_fd, out.data() + at, std::size_t(out.size() - at), off_t(at));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        if (n == 0)
            break;
        at += n;
    }
    out.truncate(qsizetype(at));
    return out;
}

qint64 readFullyAt(int fd, void* into, qint64 count, qint64 at)
{
    auto* p = static_cast<char*>(into);
    qint64 got = 0;
    while (got < count) {
        const ssize_t n = ::pread(fd, p + got, std::size_t(count - got), off_t(at + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

QByteArray RegularFile::readHead(qint64 count)
{
    QByteArray out(qsizetype(std::max<qint64>(0, std::min(count, m_size))), '\0');
    const qint64 got = readFullyAt(m_fd, out.data(), out.size(), 0);
    if (got < 0)
        fail(errno);
    out.truncate(qsizetype(got));
    return out;
}
