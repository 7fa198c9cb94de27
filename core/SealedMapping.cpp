#include "core/SealedMapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

std::shared_ptr<const SealedMapping> SealedMapping::map(int fd, qint64 minimum, qint64 maximum)
{
    constexpr int Required = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL;
    const int seals = ::fcntl(fd, F_GET_SEALS);
    if (seals < 0 || (seals & Required) != Required)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < minimum || st.st_size > maximum)
        return nullptr;
    const qint64 size = qint64(st.st_size);
    if (size == 0)
        return std::shared_ptr<const SealedMapping>(new SealedMapping(nullptr, 0));
    void* at = ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED, fd, 0);
    if (at == MAP_FAILED)
        return nullptr;
    return std::shared_ptr<const SealedMapping>(new SealedMapping(static_cast<const uchar*>(at), size));
}

SealedMapping::~SealedMapping()
{
    if (m_data)
        ::munmap(const_cast<uchar*>(m_data), size_t(m_size));
}
