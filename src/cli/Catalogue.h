#pragma once
// The command-line splitter's own texts, in one language per run: written in English in the
// code and looked up in the Chinese catalogue (po/zh_CN.po) under a Chinese user interface.
// Linux reads the catalogue through gettext; Windows carries it compiled into the program.
#include <initializer_list>
#include <string>
#include <vector>

namespace folioknife::cli {

// Opens the catalogue when the user's language is Chinese; from then on chineseMessages()
// says whether the texts are Chinese. Called once, after setlocale.
void openCatalogue();
bool chineseMessages();

// The text in the run's language, as UTF-8.
std::string tr(const char* english);

// tr(english) with {1}, {2}, ... replaced by the arguments (UTF-8), so that a language may
// put them where its word order wants them.
std::string trf(const char* english, std::initializer_list<std::string> arguments);

// True when standard error is a terminal (progress is shown there only).
bool errorIsTerminal();

// The program's arguments, its name first, and the code page they are in. On Linux they are
// argv as given, in the terminal's code page; on Windows they are taken from the UTF-16
// command line, as UTF-8, since argv holds them in the ANSI code page, where a name in another
// script has lost its characters.
struct ProgramArguments {
    std::vector<std::string> arguments;
    std::string codePage;
};
ProgramArguments programArguments(int argc, char** argv);

}  // namespace folioknife::cli
