#include "core/SealedMapping.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <iterator>
#include <set>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The live mappings of this process, by their start and end: letGo must
// never drop pages of memory that is not such a mapping.
struct LiveMappings {
    std::mutex lock;
    std::set<std::pair<std::uintptr_t, std::uintptr_t>> ranges;
};

LiveMappings& liveMappings()
{
    static LiveMappings live;
    return live;
}

} // namespace

std::shared_ptr<const SealedMapping> SealedMapping::map(int fd, qint64 minimum, qint64 maximum, Read read)
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
    void* at = ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED | (read == Read::Whole ? MAP_POPULATE : 0),
                      fd, 0);
    if (at == MAP_FAILED)
        return nullptr;
    {
        LiveMappings& live = liveMappings();
        const std::lock_guard lock(live.lock);
        live.ranges.emplace(std::uintptr_t(at), std::uintptr_t(at) + std::uintptr_t(size));
    }
    return std::shared_ptr<const SealedMapping>(new SealedMapping(static_cast<const uchar*>(at), size));
}

void SealedMapping::letGo(const void* from, const void* to) noexcept
{
    const std::uintptr_t page = std::uintptr_t(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t start = (std::uintptr_t(from) + page - 1) / page * page,
                         end = std::uintptr_t(to) / page * page;
    if (end <= start)
        return;
    LiveMappings& live = liveMappings();
    const std::lock_guard lock(live.lock);
    const auto in = live.ranges.upper_bound({start, UINTPTR_MAX});
    if (in != live.ranges.begin() && std::prev(in)->first <= start && end <= std::prev(in)->second)
        ::madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED);
}

SealedMapping::~SealedMapping()
{
    if (!m_data)
        return;
    {
        LiveMappings& live = liveMappings();
        const std::lock_guard lock(live.lock);
        live.ranges.erase({std::uintptr_t(m_data), std::uintptr_t(m_data) + std::uintptr_t(m_size)});
    }
    ::munmap(const_cast<uchar*>(m_data), size_t(m_size));
}
