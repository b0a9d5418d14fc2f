#include "splitter/LargeBuffer.h"

namespace folioknife::splitter {

// Large pages on Windows need a privilege that ordinary users lack; the hint is not used.
void adviseLargeBuffer(void*, std::size_t) {}

}  // namespace folioknife::splitter
