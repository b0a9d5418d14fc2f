#pragma once
// Texts are bytes in the program's code page. The program's own texts (captions, messages,
// presets, the numeral class) are written once, in UTF-8 in the source, and converted to that
// code page when they are used.
#include <optional>
#include <string>
#include <string_view>

namespace folioknife::splitter {

using Text = std::string;

// The code page of the system: the ANSI code page on Windows; on Linux the locale's codeset,
// UTF-8 when the locale offers only ASCII. Names are iconv names ("GBK", "UTF-8", "CP936").
std::string systemCodePage();

// The code page the program works in. Starts as defaultProgramCodePage(); the command-line
// splitter and tests may choose another one.
const std::string& programCodePage();
void setProgramCodePage(const std::string& name);

// The code page the program starts in: on Linux the system's; on Windows
// programCodePageOnWindows(systemCodePage()).
std::string defaultProgramCodePage();

// The program's code page on a Windows whose ANSI code page is 'system'. A Chinese one (GBK,
// GB18030, Big5) and UTF-8 are kept, so a Chinese Windows reads and writes the bytes it always
// did. Any other is UTF-8: the window talks to Windows in UTF-16, and UTF-8 writes every
// character of a caption or a file name exactly, which GBK or code page 1252 cannot; a novel
// that is not UTF-8 is then read as GB18030, of which GBK is a part.
std::string programCodePageOnWindows(const std::string& system);

// Converts bytes between two code pages. Nothing when the text cannot be represented or a
// code page is unknown.
std::optional<std::string> convertText(std::string_view text, const std::string& from,
                                       const std::string& to);

// As convertText, but never fails: bytes that cannot be converted become '?'. For showing
// text (a heading line in a terminal), never for anything that is written back.
std::string convertForDisplay(std::string_view text, const std::string& from,
                              const std::string& to);

// One of the program's own texts, given in UTF-8, in the program's code page. Where the code
// page cannot represent it, the UTF-8 bytes are used as they are.
Text programText(std::string_view utf8);

// True when the two names denote the same code page ("gbk" and "CP936", "utf8" and "UTF-8").
bool sameCodePage(const std::string& a, const std::string& b);

}  // namespace folioknife::splitter
