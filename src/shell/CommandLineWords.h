#pragma once
// A command line taken apart into its words.
#include <vector>

#include "splitter/CodePage.h"

namespace folioknife::shell {

using splitter::Text;

// A command line as words: blanks and tabs separate them, double quotes group (and are
// dropped), there is no escape character.
std::vector<Text> splitIntoWords(const Text& commandLine);

}  // namespace folioknife::shell
