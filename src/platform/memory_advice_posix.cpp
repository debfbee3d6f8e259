#include "platform/memory_advice.h"

#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace auralyn::platform {

void adviseLargePages([[maybe_unused]] const void* data, [[maybe_unused]] std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    // Only whole large pages inside the buffer: advice never reaches memory
    // the buffer shares with its neighbours.
    constexpr std::uintptr_t kLargePage = std::uintptr_t{1} << 21;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kLargePage - 1);
    if (data == nullptr || end <= first) return;
    madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#endif
}

void keepFreedMemory() {
#ifdef __GLIBC__
    // Blocks up to 64 MiB come from the heap, which keeps up to 256 MiB
    // freed at its top (the defaults, 128 KiB each at first, unmap and trim
    // at once).
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    // The heap grown once by a stretch advised onto large pages and handed
    // back at once: kept at the heap's top, it serves the requests that
    // follow, whose first writes then fault in a large page at a time.
    constexpr std::size_t kLargePageHeap = std::size_t{48} << 20;
    if (void* stretch = std::malloc(kLargePageHeap)) {
        adviseLargePages(stretch, kLargePageHeap);
        std::free(stretch);
    }
#endif
}

}  // namespace auralyn::platform
