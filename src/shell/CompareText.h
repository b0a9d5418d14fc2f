#pragma once
// The byte order of two texts, as the C library's strcmp has it.
#include "splitter/CodePage.h"

namespace folioknife::shell {

using splitter::Text;

// Compares two texts byte by byte as unsigned values, each ending at its first NUL: -1 when a
// sorts first, 1 when b does, 0 when they are equal. The empty text stands for a missing one,
// and a prefix sorts before the longer text. No case folding, no reading of numbers.
int compareText(const Text& a, const Text& b);

}  // namespace folioknife::shell
