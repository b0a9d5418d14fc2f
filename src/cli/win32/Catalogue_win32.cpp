// Windows has no gettext: the Chinese catalogue is compiled into the program as a table
// (generated from po/zh_CN.po by the build), chosen by the user interface's language or the
// Chinese ANSI code page.
#include <windows.h>
// clang-format off
#include <shellapi.h>
// clang-format on

#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

#include "cli/Catalogue.h"
#include "splitter/CodePage.h"
#include "splitter/win32/WideText.h"

namespace folioknife::cli {

namespace {

struct Entry {
    const char* english;
    const char* chinese;
};
const Entry kCatalogue[] = {
#include "CatalogueTable.inc"
};
bool chinese = false;

}  // namespace

void openCatalogue() {
    chinese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE || GetACP() == 936;
}

bool chineseMessages() { return chinese; }

std::string tr(const char* english) {
    if (chinese) {
        const auto found =
            std::find_if(std::begin(kCatalogue), std::end(kCatalogue),
                         [&](const Entry& e) { return std::strcmp(e.english, english) == 0; });
        if (found != std::end(kCatalogue) && *found->chinese != '\0') return found->chinese;
    }
    return english;
}

bool errorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

ProgramArguments programArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return ProgramArguments{std::vector<std::string>(argv, argv + argc),
                                splitter::systemCodePage()};
    ProgramArguments taken{{}, "UTF-8"};
    // An unpaired surrogate (which no file name of a real file system holds) becomes U+FFFD.
    for (int i = 0; i < count; ++i) taken.arguments.push_back(splitter::utf8FromWide(wide[i]));
    LocalFree(wide);
    return taken;
}

}  // namespace folioknife::cli
