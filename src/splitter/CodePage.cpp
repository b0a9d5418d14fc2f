#include "splitter/CodePage.h"

#include <algorithm>

#include "splitter/Ascii.h"

namespace folioknife::splitter {

namespace {
std::string& currentCodePage() {
    static std::string name = defaultProgramCodePage();
    return name;
}

std::string canonicalName(const std::string& name) {
    std::string n;
    for (char c : name) {
        if (c != '-' && c != '_') n += asciiUpper(c);
    }
    if (n == "CP936" || n == "936" || n == "WINDOWS936" || n == "MS936") return "GBK";
    if (n == "CP65001" || n == "65001") return "UTF8";
    if (n == "ANSIX3.41968" || n == "ASCII" || n == "USASCII" || n == "646") return "ASCII";
    return n;
}
}  // namespace

const std::string& programCodePage() { return currentCodePage(); }

void setProgramCodePage(const std::string& name) { currentCodePage() = name; }

std::string programCodePageOnWindows(const std::string& system) {
    for (const char* kept : {"UTF-8", "GBK", "GB18030", "BIG5", "CP950"}) {
        if (sameCodePage(system, kept)) return system;
    }
    return "UTF-8";
}

bool sameCodePage(const std::string& a, const std::string& b) {
    return canonicalName(a) == canonicalName(b);
}

Text programText(std::string_view utf8) {
    if (sameCodePage(programCodePage(), "UTF-8")) return Text(utf8);
    auto converted = convertText(utf8, "UTF-8", programCodePage());
    return converted ? *converted : Text(utf8);
}

}  // namespace folioknife::splitter
