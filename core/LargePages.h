#pragma once
// Buffers of several megabytes in the kernel's large (2 MiB) pages where
// it offers them. A fresh buffer then faults in a few hundred times
// fewer pieces, and one read again after a pause (the next photo, decoded
// while the user looked at this one) is not slowed by thousands of page
// walks. Smaller buffers, and systems without large pages, take the heap.
#include <cstddef>
#include <memory>
#include <utility>

namespace largepages {

// From this size on a buffer is worth starting on a large page.
constexpr std::size_t Threshold = std::size_t(4) << 20;

// Like operator new and delete, for buffers of `bytes`; release() must be
// given the size allocate() was.
void* allocate(std::size_t bytes);
void release(void* p, std::size_t bytes) noexcept;

// For containers of pixel bytes: leaves new elements uninitialised unless
// a value is given, and takes large pages for large buffers.
template <typename T> struct Allocator : std::allocator<T> {
    template <typename U> struct rebind {
        using other = Allocator<U>;
    };
    using std::allocator<T>::allocator;
    T* allocate(std::size_t n) { return static_cast<T*>(largepages::allocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { largepages::release(p, n * sizeof(T)); }
    template <typename U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <typename U, typename... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

} // namespace largepages
