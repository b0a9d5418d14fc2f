// Paths on Windows.
#include "splitter/Path.h"

namespace folioknife::splitter {

PathStyle nativePathStyle() { return PathStyle::Windows; }

}  // namespace folioknife::splitter
