#include <sys/mman.h>

#include <cstdint>

#include "splitter/LargeBuffer.h"

namespace folioknife::splitter {

void adviseLargeBuffer(void* buffer, std::size_t size) {
    // madvise wants whole pages; only the 2 MiB-aligned inside of the buffer can become huge
    // pages anyway. Buffers this large come from their own anonymous mapping (glibc malloc).
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(buffer);
    const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t last = (begin + size) & ~(kHuge - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace folioknife::splitter
