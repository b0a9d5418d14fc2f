#pragma once
// A novel is either UTF-8 or in a legacy code page, whatever the system's code page is. Its
// bytes are never converted; only the chapter expression is carried over to the novel's
// encoding, and headings are only accepted where they begin and end between characters.
#include <cstddef>
#include <string>
#include <string_view>

namespace folioknife::splitter {

// How bytes group into characters, which is all the matcher needs to know of an encoding.
enum class CharacterSet {
    SingleByte,  // every byte is a character
    DoubleByte,  // GBK and its kin: a byte 0x81..0xFE starts a two-byte character
    Utf8,        // a byte 10xxxxxx continues a character, every other byte starts one
    Utf16Le,     // two bytes a unit, a surrogate pair is one character
    Utf16Be,
};

struct DocumentEncoding {
    std::string codePage;  // an iconv name, for converting the expression to it
    CharacterSet characters = CharacterSet::SingleByte;
    bool operator==(const DocumentEncoding& o) const {
        return codePage == o.codePage && characters == o.characters;
    }
};

// Two bytes a unit, little or big endian.
inline bool isUtf16(CharacterSet characters) {
    return characters == CharacterSet::Utf16Le || characters == CharacterSet::Utf16Be;
}

// Where the text holds an ASCII character (a line end, a blank): a byte, or in UTF-16 a unit
// of two bytes at an even offset whose other byte is 0.
struct AsciiUnits {
    explicit AsciiUnits(CharacterSet characters)
        : size(isUtf16(characters) ? 2 : 1), low(characters == CharacterSet::Utf16Be ? 1 : 0) {}
    std::size_t size;
    std::size_t low;  // where the unit holds its ASCII byte
    // The byte of the unit at 'at'; 0xFF, which no ASCII character is, for a UTF-16 unit
    // beyond U+00FF.
    char asciiAt(std::string_view text, std::size_t at) const {
        return size == 1 || text[at + 1 - low] == '\0' ? text[at + low] : '\xFF';
    }
    bool isAt(std::string_view text, std::size_t at, char c) const {
        return asciiAt(text, at) == c;
    }
};

CharacterSet characterSetOf(const std::string& codePage);

// The encoding of 'codePage' as a document encoding.
DocumentEncoding encodingOf(const std::string& codePage);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF; a sequence cut off at the end is not well-formed).
bool isValidUtf8(std::string_view text);

// What a look through the bytes as UTF-8 found. It stops early once the invalid sequences pass
// 'tolerated'.
struct Utf8Check {
    bool multiByte = false;          // a well-formed multi-byte sequence
    std::size_t multiByteCount = 0;  // how many
    std::size_t invalid = 0;         // ill-formed stretches, the one cut off at the end not counted
    bool cutOffAtEnd = false;        // the text ends inside a sequence that was well-formed so far
};
Utf8Check checkUtf8(std::string_view text, std::size_t tolerated = 0);

// UTF-16 (little or big endian) when the text begins with its byte-order mark, or, without
// one, when it holds zero bytes (beyond padding at its end) and its first 64 KB read as text
// in one byte order, with line feeds where it has lines. UTF-8 when the
// text holds a multi-byte sequence and is valid UTF-8 but for rare damage: at most one
// ill-formed stretch per 10,000 bytes (and a hundred well-formed characters for each, which a
// mostly English text in GBK, with a few characters that happen to look like UTF-8, lacks),
// and a character cut off at the very end (a download that broke off). Otherwise the program's code
// page, except that where that code page is UTF-8 the text is taken as GB18030 (of which GBK is a
// part), as Chinese novels not in UTF-8 are.
DocumentEncoding detectDocumentEncoding(std::string_view text, const std::string& programCodePage);

// The byte-order mark that every file of the encoding must begin with to be read as such on
// its own: FF FE or FE FF for UTF-16, nothing for the others.
std::string_view byteOrderMarkOf(CharacterSet characters);

// True when 'position' (0..text.size()) lies between two characters of the text.
bool isCharacterBoundary(std::string_view text, std::size_t position, CharacterSet characters);

// The first boundary after 'position'.
std::size_t nextCharacterBoundary(std::string_view text, std::size_t position,
                                  CharacterSet characters);

}  // namespace folioknife::splitter
