// Windows has no gettext: the Chinese catalogue is compiled into the program as a table
// (generated from po/zh_CN.po by the build), chosen by the user interface's language or the
// Chinese ANSI code page.
#include <windows.h>

#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "cli/Catalogue.h"

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

}  // namespace folioknife::cli
