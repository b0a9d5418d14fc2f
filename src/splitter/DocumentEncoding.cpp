#include "splitter/DocumentEncoding.h"

#include <cstdint>
#include <cstring>

#include "splitter/CodePage.h"
#include "splitter/LeadBytes.h"

namespace folioknife::splitter {

CharacterSet characterSetOf(const std::string& codePage) {
    if (sameCodePage(codePage, "UTF-8")) return CharacterSet::Utf8;
    // Shift-JIS is not matched by characters: its one-byte katakana share the lead bytes'
    // range, which the boundary rule below does not know.
    if (leadBytesOf(codePage) == LeadBytes::Dbcs) return CharacterSet::DoubleByte;
    return CharacterSet::SingleByte;
}

DocumentEncoding encodingOf(const std::string& codePage) {
    return DocumentEncoding{codePage, characterSetOf(codePage)};
}

bool isValidUtf8(std::string_view text, bool* hasMultiByte) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + text.size();
    bool multi = false;
    while (p < end) {
        // Eight ASCII bytes at a time: most of a novel's line ends and blanks, all of an
        // English one.
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        multi = true;
        std::size_t length;
        unsigned low = 0x80, high = 0xBF;  // the allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;   // overlong
            if (c == 0xED) high = 0x9F;  // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;   // overlong
            if (c == 0xF4) high = 0x8F;  // past U+10FFFF
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) < length) return false;
        if (p[1] < low || p[1] > high) return false;
        for (std::size_t i = 2; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
        }
        p += length;
    }
    if (hasMultiByte) *hasMultiByte = multi;
    return true;
}

DocumentEncoding detectDocumentEncoding(std::string_view text, const std::string& programCodePage) {
    bool multiByte = false;
    const bool valid = isValidUtf8(text, &multiByte);
    if (valid && multiByte) return encodingOf("UTF-8");
    // Pure ASCII is in the program's code page, and so is any other text, unless that code
    // page is UTF-8, which the text is not.
    if (!valid && sameCodePage(programCodePage, "UTF-8")) return encodingOf("GB18030");
    return encodingOf(programCodePage);
}

bool isCharacterBoundary(std::string_view text, std::size_t position, CharacterSet characters) {
    if (position == 0 || position >= text.size()) return true;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    switch (characters) {
        case CharacterSet::SingleByte:
            return true;
        case CharacterSet::Utf8:
            return (byte(position) & 0xC0) != 0x80;
        case CharacterSet::DoubleByte: {
            // A byte below 0x81 (a line feed, any ASCII byte, or a second byte in 0x40..0x7E)
            // always ends a character, so the run of bytes 0x81..0xFE just before the position
            // pairs up from its start: the position is a boundary when the run is even.
            std::size_t run = 0;
            for (std::size_t i = position; i > 0 && byte(i - 1) >= 0x81 && byte(i - 1) <= 0xFE; --i)
                ++run;
            return run % 2 == 0;
        }
    }
    return true;
}

std::size_t nextCharacterBoundary(std::string_view text, std::size_t position,
                                  CharacterSet characters) {
    std::size_t next = position + 1;
    while (next < text.size() && !isCharacterBoundary(text, next, characters)) ++next;
    return next;
}

}  // namespace folioknife::splitter
