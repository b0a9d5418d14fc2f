#pragma once
#include <string_view>
#include <vector>

#include "splitter/CodePage.h"
#include "splitter/Path.h"

namespace folioknife::app {

using splitter::Text;

// The arguments of a raw Windows command line, read as bytes: the program path skipped
// (quoted, or up to the first blank), then blank-separated items, double quotes grouping, no
// escape character. A byte with the high bit set takes the next byte along, so the second
// byte of a GBK character never ends an item; such a byte at the very end is dropped.
std::vector<Text> splitCommandLine(std::string_view commandLine);

// The command line after the program path (skipped as above), as it stands, without its
// leading and trailing blanks: the path that Explorer meant when it passed the registered
// command's unquoted "%1" holding blanks.
Text commandLineRest(std::string_view commandLine);

// The 1-based byte position of the last occurrence of 'find' in 'text', or -1.
int findLastText(std::string_view text, std::string_view find);

// The first n bytes of the text (all of it when shorter), or the empty text when n < 1.
Text leftText(std::string_view text, int n);

// The path up to and including its last separator ("\" on Windows, "/" on Linux), or the
// empty text when it holds none. A double-byte character whose second byte is 0x5C is stepped
// over (splitter/Path.h), so a folder named with one is the folder, not a cut of its name.
Text deriveOutputDirectory(std::string_view path, splitter::PathStyle style);

}  // namespace folioknife::app
