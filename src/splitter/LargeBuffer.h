#pragma once
#include <cstddef>

namespace folioknife::splitter {

// Tells the system that a large, not yet touched buffer (a whole novel) will be filled at
// once, so that it can back it with large pages: on Linux a 100 MB read otherwise spends
// most of its time in page faults. Only a hint; the buffer works the same either way.
void adviseLargeBuffer(void* buffer, std::size_t size);

}  // namespace folioknife::splitter
