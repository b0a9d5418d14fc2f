#pragma once
// The chapter expression: the numeral group and the default expression built from a
// prefix and a suffix, or the custom one as typed.
#include <string>

#include "splitter/CodePage.h"
#include "splitter/SplitSettings.h"

namespace folioknife::splitter {

// The default expression's numeral: one whole character of the ASCII and full-width digits
// and the Chinese numerals, as a group of alternatives, in the program's code page.
Text numeralGroup();
Text numeralGroup(const std::string& codePage);

// Custom mode: the expression text as typed. Default mode: "(" prefix ")" blanks "(" numeral
// "+)" blanks "(" suffix ")", where blanks are up to four spaces, tabs or ideographic spaces.
// Prefix and suffix go in raw, so their syntax bytes keep their meaning.
Text buildChapterExpression(SplitSettings& settings);
Text defaultChapterExpression(const Text& prefix, const Text& suffix);

}  // namespace folioknife::splitter
