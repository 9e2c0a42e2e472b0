// Storage for the per-atom tables of large structures.
//
// A table of 50,000 atom records is about 60 MB. Taken from the heap, the kernel maps it in
// 4 KB pages, one fault each on first touch; on a virtual machine a fault is expensive
// enough to dominate a whole run. Blocks of at least LARGE_BLOCK bytes are therefore mapped
// directly and marked for 2 MB pages where the kernel offers them (the mark is only advice:
// where it is refused, the block works as ordinary memory). Smaller blocks come from the heap.
#pragma once

#include <cstddef>
#include <new>

namespace largepages {

constexpr std::size_t LARGE_BLOCK = std::size_t(1) << 21;  // one 2 MB page

// Raw storage of `bytes` bytes; throws std::bad_alloc when there is none.
void* allocate(std::size_t bytes);
void release(void* block, std::size_t bytes) noexcept;

}  // namespace largepages

template <class T>
struct LargePageAllocator {
    using value_type = T;

    LargePageAllocator() noexcept = default;
    template <class U>
    LargePageAllocator(const LargePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(largepages::allocate(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { largepages::release(p, n * sizeof(T)); }

    template <class U>
    bool operator==(const LargePageAllocator<U>&) const noexcept {
        return true;
    }
    template <class U>
    bool operator!=(const LargePageAllocator<U>&) const noexcept {
        return false;
    }
};
