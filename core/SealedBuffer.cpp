#include "core/SealedBuffer.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <unistd.h>

#ifndef MFD_NOEXEC_SEAL
#define MFD_NOEXEC_SEAL 0x0008U
#endif

namespace {

UniqueFd newMemfd(qint64 size)
{
    // Kernels from 6.3 want to be told the memory is never run; older
    // ones don't know the flag.
    int fd = ::memfd_create("pictavo-pixels", MFD_CLOEXEC | MFD_ALLOW_SEALING | MFD_NOEXEC_SEAL);
    if (fd < 0 && errno == EINVAL)
        fd = ::memfd_create("pictavo-pixels", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    UniqueFd memfd(fd);
    if (!memfd.isValid() || size < 0 || ::ftruncate(memfd.get(), off_t(size)) != 0)
        return UniqueFd();
    return memfd;
}

// Where the kernel can't send a file's pages (some file systems), read and
// written a slice at a time. False when the file ends before `size`.
bool copyByReads(int from, int to, qint64 at, qint64 size)
{
    QByteArray slice(qsizetype(std::min<qint64>(size - at, 1 << 20)), Qt::Uninitialized);
    while (at < size) {
        const ssize_t n =
            ::pread(from, slice.data(), std::size_t(std::min<qint64>(slice.size(), size - at)), off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        if (::pwrite(to, slice.constData(), std::size_t(n), off_t(at)) != n)
            throw std::bad_alloc();
        at += n;
    }
    return true;
}

} // namespace

SealedBuffer::SealedBuffer(qint64 size) : m_fd(newMemfd(size)), m_size(size)
{
    if (!m_fd.isValid())
        throw std::bad_alloc();
    map();
}

SealedBuffer::SealedBuffer(UniqueFd given, qint64 size) : m_fd(std::move(given)), m_size(size)
{
    map();
}

void SealedBuffer::map()
{
    if (m_size == 0)
        return;
    // Written through whole: every page mapped in one go costs far less
    // than a fault for each.
    void* at =
        ::mmap(nullptr, size_t(m_size), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, m_fd.get(), 0);
    if (at == MAP_FAILED)
        throw std::bad_alloc();
    m_data = static_cast<uchar*>(at);
}

SealedBuffer::~SealedBuffer()
{
    if (m_data)
        ::munmap(m_data, size_t(m_size));
}

UniqueFd SealedBuffer::seal()
{
    if (m_data)
        ::munmap(m_data, size_t(m_size));
    m_data = nullptr;
    if (::fcntl(m_fd.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW) != 0 || !sealGiven(m_fd.get()))
        return UniqueFd();
    return std::move(m_fd);
}

UniqueFd SealedBuffer::toGive(qint64 size)
{
    UniqueFd memfd = newMemfd(size);
    if (memfd.isValid() && ::fcntl(memfd.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW) != 0)
        return UniqueFd();
    return memfd;
}

UniqueFd SealedBuffer::copyOf(int fd, qint64 size)
{
    UniqueFd memfd = newMemfd(size);
    if (!memfd.isValid())
        throw std::bad_alloc();
    off_t at = 0;
    while (at < size) {
        const ssize_t n = ::sendfile(memfd.get(), fd, &at, std::size_t(size - at));
        if (n > 0 || (n < 0 && errno == EINTR))
            continue;
        if (n < 0 && (errno == ENOMEM || errno == ENOSPC))
            throw std::bad_alloc();
        if (n < 0 && (errno == EINVAL || errno == ENOSYS) && copyByReads(fd, memfd.get(), at, size))
            break;
        return UniqueFd();
    }
    if (::fcntl(memfd.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW) != 0 || !sealGiven(memfd.get()))
        throw std::bad_alloc();
    return memfd;
}

bool SealedBuffer::sealGiven(int fd)
{
    // A writable mapping left anywhere makes F_SEAL_WRITE fail.
    return ::fcntl(fd, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_SEAL) == 0;
}

GivenMemoryFill::~GivenMemoryFill()
{
    unmap();
}

void GivenMemoryFill::unmap()
{
    if (m_window)
        ::munmap(m_window, size_t(m_windowSize));
    m_window = nullptr;
}

uchar* GivenMemoryFill::next(qint64 n)
{
    if (n < 0 || n > m_size - m_at)
        throw std::bad_alloc();
    if (n == 0)
        return nullptr;
    if (!m_window || m_at + n > m_windowAt + m_windowSize) {
        unmap();
        static const qint64 page = ::sysconf(_SC_PAGESIZE);
        m_windowAt = m_at / page * page;
        m_windowSize = std::min(std::max(Window, m_at + n - m_windowAt), m_size - m_windowAt);
        void* at = ::mmap(nullptr, size_t(m_windowSize), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, m_fd,
                          off_t(m_windowAt));
        if (at == MAP_FAILED)
            throw std::bad_alloc();
        m_window = static_cast<uchar*>(at);
    }
    uchar* to = m_window + (m_at - m_windowAt);
    m_at += n;
    return to;
}
