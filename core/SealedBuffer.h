#pragma once
// Memory to hand to another process: a memfd written through a mapping,
// then sealed against shrinking, growing, writing and new seals, so that
// what the receiver checked stays what it reads. A loader may not size a
// file (its RLIMIT_FSIZE is 0), so the viewer makes its memfds: sized and
// sealed against resizing before they are given, sealed against writing
// once they come back.
#include "core/UniqueFd.h"

#include <QtGlobal>

class SealedBuffer {
public:
    // A memfd of `size` bytes made here. Throws std::bad_alloc when the
    // memory can't be had.
    explicit SealedBuffer(qint64 size);
    // One the other end made and gave, of `size` bytes. Throws
    // std::bad_alloc when it can't be mapped.
    SealedBuffer(UniqueFd given, qint64 size);
    ~SealedBuffer();
    SealedBuffer(const SealedBuffer&) = delete;
    SealedBuffer& operator=(const SealedBuffer&) = delete;

    uchar* data() noexcept { return m_data; }
    qint64 size() const noexcept { return m_size; }
    // Ends the writing: unmaps and seals. The descriptor to send; invalid
    // when sealing failed.
    UniqueFd seal();

    // A memfd of `size` bytes for the other end to fill, already sealed
    // against shrinking and growing; invalid when the system refuses.
    static UniqueFd toGive(qint64 size);
    // The first `size` bytes of the file `fd`, sealed in a memfd: copied by
    // the kernel, so none of it is ever resident here. Invalid when the
    // file ends sooner. Throws std::bad_alloc when the memory can't be had.
    static UniqueFd copyOf(int fd, qint64 size);
    // Seals a memfd given out and filled against writing and new seals.
    // False while the other end still maps it writable, or never sealed.
    static bool sealGiven(int fd);

private:
    void map();

    UniqueFd m_fd;
    uchar* m_data = nullptr;
    qint64 m_size = 0;
};

// Fills memory given by the other end from its start to its end through a
// small mapping that moves along, so that no more than a window of it is
// ever resident here: the receiver maps it all, and the two would count it
// twice.
class GivenMemoryFill {
public:
    static constexpr qint64 Window = 1 << 20;

    // `fd` stays the caller's; it must outlive the fill.
    GivenMemoryFill(int fd, qint64 size) : m_fd(fd), m_size(size) {}
    ~GivenMemoryFill();
    GivenMemoryFill(const GivenMemoryFill&) = delete;
    GivenMemoryFill& operator=(const GivenMemoryFill&) = delete;

    // Where the next `n` bytes go, contiguous. Throws std::bad_alloc past
    // the end or when they can't be mapped.
    uchar* next(qint64 n);

private:
    void unmap();

    int m_fd;
    qint64 m_size;
    qint64 m_at = 0;
    uchar* m_window = nullptr;
    qint64 m_windowAt = 0;
    qint64 m_windowSize = 0;
};
