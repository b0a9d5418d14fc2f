#pragma once
// The program that opens a web address, one implementation per platform.
#include "splitter/CodePage.h"

namespace folioknife::update {

// "explorer" on Windows, "xdg-open" on Linux.
splitter::Text pageOpener();

}  // namespace folioknife::update
