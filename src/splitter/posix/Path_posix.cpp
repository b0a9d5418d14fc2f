// Paths on Linux.
#include "splitter/Path.h"

namespace folioknife::splitter {

PathStyle nativePathStyle() { return PathStyle::Posix; }

}  // namespace folioknife::splitter
