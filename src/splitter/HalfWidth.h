#pragma once
#include <string>
#include <string_view>

#include "splitter/CodePage.h"

namespace folioknife::splitter {

// Maps full-width digits, signs and the ideographic space of the code page to ASCII.
Text foldHalfWidth(std::string_view text, const std::string& codePage);

}  // namespace folioknife::splitter
