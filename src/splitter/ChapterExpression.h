#pragma once
// The chapter expression the settings ask for, and the numeral group of the default one.
#include <string>

#include "splitter/CodePage.h"
#include "splitter/SplitSettings.h"

namespace folioknife::splitter {

// The default expression's numeral: one whole character of the ASCII and full-width digits
// and the Chinese numerals, as a group of alternatives, in the program's code page.
Text numeralGroup();
Text numeralGroup(const std::string& codePage);

// Default mode: prefix, numeral and suffix (defaultExpressionFor builds it in the novel's
// encoding). Custom mode: the expression text as typed.
struct ChapterExpression {
    bool defaultMode = true;
    Text prefix;  // default mode, in the program's code page
    Text suffix;
    Text custom;  // custom mode
};

// The one place that tells the modes apart: reads the mode, then the default mode's prefix and
// suffix or the custom text, each once and never the other mode's.
ChapterExpression buildChapterExpression(SplitSettings& settings);

}  // namespace folioknife::splitter
