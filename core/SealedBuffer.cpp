#include "core/SealedBuffer.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>

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
    void* at = ::mmap(nullptr, size_t(m_size), PROT_READ | PROT_WRITE, MAP_SHARED, m_fd.get(), 0);
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

bool SealedBuffer::sealGiven(int fd)
{
    // A writable mapping left anywhere makes F_SEAL_WRITE fail.
    return ::fcntl(fd, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_SEAL) == 0;
}
