#pragma once
#include <cstdint>
#include <string_view>

namespace folioknife::splitter {

// Leading decimal integer after folding to half-width: white space, one sign, digits; no
// digits give 0; the value wraps modulo 2^32.
std::int32_t textToInteger(std::string_view text);

}  // namespace folioknife::splitter
