#pragma once
// Memory another process handed over: a memfd accepted only when sealed
// against shrinking, growing, writing and new seals, mapped read-only.
// What is checked about it then stays true for as long as it is mapped.
#include <QtGlobal>

#include <memory>

class SealedMapping {
public:
    // Null when `fd` is no such memfd or its size lies outside
    // [minimum, maximum]. The descriptor may be closed afterwards. `Whole`
    // maps every page at once, for what is read through: a fault a page
    // costs several times more.
    enum class Read { AsNeeded, Whole };
    static std::shared_ptr<const SealedMapping> map(int fd, qint64 minimum, qint64 maximum,
                                                    Read read = Read::AsNeeded);
    ~SealedMapping();
    SealedMapping(const SealedMapping&) = delete;
    SealedMapping& operator=(const SealedMapping&) = delete;

    const uchar* data() const noexcept { return m_data; }
    qint64 size() const noexcept { return m_size; }

    // Gives back the resident pages of [from, to) where they lie in a live
    // mapping (a reader that passed them won't come back): they stay in the
    // memfd and are read again from it if asked. Elsewhere nothing happens.
    static void letGo(const void* from, const void* to) noexcept;

private:
    SealedMapping(const uchar* data, qint64 size) : m_data(data), m_size(size) {}
    const uchar* m_data;
    qint64 m_size;
};
