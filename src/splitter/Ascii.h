#pragma once
// ASCII letters in texts of any code page the program takes: no byte of an ASCII letter, digit
// or dot is ever the second byte of a double-byte character in them, so these tests hold on the
// bytes as they are. Case is folded for ASCII letters only, whatever the locale says.
#include <cstddef>
#include <string>
#include <string_view>

namespace folioknife::splitter {

constexpr bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline void lowerAscii(std::string& text) {
    for (char& c : text) c = asciiLower(c);
}

inline bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

// True when the name ends in the extension (".txt", ".epub") in any case: Windows names are
// case-blind, and TXT files are common.
inline bool hasExtension(std::string_view name, std::string_view extension) {
    return name.size() >= extension.size() &&
           equalIgnoringAsciiCase(name.substr(name.size() - extension.size()), extension);
}

}  // namespace folioknife::splitter
