#pragma once
// GBK test texts written as readable UTF-8: gbk("第十二章") is the eight bytes B5 DA CA AE ...
#include <stdexcept>
#include <string>

#include "splitter/CodePage.h"

namespace folioknife::testing {

inline std::string gbk(const std::string& utf8) {
    auto converted = splitter::convertText(utf8, "UTF-8", "GBK");
    if (!converted) throw std::runtime_error("not representable in GBK: " + utf8);
    return *converted;
}

inline std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Sets the program's code page for one test and restores it afterwards.
class CodePageScope {
public:
    explicit CodePageScope(const std::string& name) : saved_(splitter::programCodePage()) {
        splitter::setProgramCodePage(name);
    }
    ~CodePageScope() { splitter::setProgramCodePage(saved_); }

private:
    std::string saved_;
};

}  // namespace folioknife::testing
