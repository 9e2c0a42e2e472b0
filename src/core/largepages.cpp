#include "largepages.h"

#include <sys/mman.h>

#include <cstdlib>

namespace largepages {

namespace {

// Whole 2 MB pages: the mapping is made one page larger than asked and trimmed to a
// 2 MB boundary at its start, so the kernel can back it with large pages.
std::size_t roundUp(std::size_t bytes) { return (bytes + LARGE_BLOCK - 1) / LARGE_BLOCK * LARGE_BLOCK; }

}  // namespace

// Under the address sanitizer every block comes from the heap, where it is watched.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool HEAP_ONLY = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool HEAP_ONLY = true;
#else
constexpr bool HEAP_ONLY = false;
#endif
#else
constexpr bool HEAP_ONLY = false;
#endif

static bool fromHeap(std::size_t bytes) { return HEAP_ONLY || bytes < LARGE_BLOCK; }

void* allocate(std::size_t bytes) {
    if (fromHeap(bytes)) {
        void* p = std::malloc(bytes == 0 ? 1 : bytes);
        if (p == nullptr) throw std::bad_alloc();
        return p;
    }
    const std::size_t size = roundUp(bytes);
    if (size + LARGE_BLOCK < size) throw std::bad_alloc();
    void* mapped = mmap(nullptr, size + LARGE_BLOCK, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    char* start = static_cast<char*>(mapped);
    const std::size_t skew = reinterpret_cast<std::size_t>(start) % LARGE_BLOCK;
    const std::size_t lead = skew == 0 ? 0 : LARGE_BLOCK - skew;
    if (lead > 0) munmap(start, lead);
    if (LARGE_BLOCK - lead > 0) munmap(start + lead + size, LARGE_BLOCK - lead);
#ifdef MADV_HUGEPAGE
    madvise(start + lead, size, MADV_HUGEPAGE);
#endif
    return start + lead;
}

void release(void* block, std::size_t bytes) noexcept {
    if (block == nullptr) return;
    if (fromHeap(bytes)) {
        std::free(block);
        return;
    }
    munmap(block, roundUp(bytes));
}

}  // namespace largepages
