#pragma once
// The chapter expression the settings ask for, and the numeral group of the default one.
#include <string>

#include "splitter/CodePage.h"
#include "splitter/DocumentEncoding.h"
#include "splitter/SplitSettings.h"

namespace folioknife::splitter {

// The default expression's numeral: one whole character of the ASCII and full-width digits
// and the Chinese numerals, as a group of alternatives, in the program's code page.
Text numeralGroup();
Text numeralGroup(const std::string& codePage);

// The encoding a novel's headings are matched in: its own, but UTF-8 for a UTF-16 novel, which
// is matched in a UTF-8 copy.
DocumentEncoding matchingEncoding(const DocumentEncoding& encoding);

// The default expression for a novel, in the encoding it is matched in: "(" prefix ")" blanks
// "(" numeral "+)" blanks "(" suffix ")", where blanks are up to four spaces, tabs or
// ideographic spaces. Prefix and suffix keep their syntax, but every character of them is
// whole (the second byte of 淺, DC 5C, is no backslash).
Text defaultExpressionFor(const Text& prefix, const Text& suffix, const DocumentEncoding& encoding);

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
