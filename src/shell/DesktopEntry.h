#pragma once
// The freedesktop desktop entry that is the context-menu entry on Linux: its text and the
// quoting of its Exec key, as the freedesktop desktop-entry format gives them. No I/O here.
#include <optional>
#include <string>
#include <vector>

#include "splitter/CodePage.h"

namespace folioknife::shell {

using splitter::Text;

// The two things the entry holds: the menu text (UTF-8, as the format requires) and the
// executable started with the chosen file. Either may be missing (empty) in a file read.
struct DesktopEntryFields {
    Text name;
    Text program;
};

// The file's text: an application for text/plain that file managers offer for text files but
// no application menu lists.
Text desktopEntryText(const DesktopEntryFields& fields);

// The Name and the program of Exec in a desktop entry's text; what is missing or unreadable
// stays empty.
DesktopEntryFields readDesktopEntry(const Text& content);

// One argument quoted for Exec: in double quotes, with \ before " ` $ and \, and % doubled.
Text quoteExecArgument(const Text& argument);

// The Exec value that starts program with the chosen file (%f), escaped as a string value.
Text execValue(const Text& program);

// The arguments of an Exec value as a launcher reads them: the string escapes undone, then the
// quoting, then %% taken as one %. Field codes such as %f stay as they are. Nothing when the
// value breaks the quoting rules.
std::optional<std::vector<Text>> parseExecValue(const Text& value);

// The string-value escapes \s \n \t \r \\ undone.
Text unescapeStringValue(const Text& value);

}  // namespace folioknife::shell
