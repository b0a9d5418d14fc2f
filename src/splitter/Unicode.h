#pragma once
// UTF-8 and UTF-16 character by character: the one decoder of a UTF-8 sequence, the one
// encoder, and the UTF-8 copy of a UTF-16 text that the matchers read, with the way back for
// its offsets.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace folioknife::splitter {

// The bytes of the UTF-8 sequence that 'lead' begins: 1 for ASCII, 2 to 4 for a lead byte,
// 0 for a continuation byte (0x80..0xBF), which begins none.
constexpr std::size_t utf8SequenceLength(unsigned char lead) {
    return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
}

// The code point at 'at' of UTF-8 text and the bytes it takes ('length'). A byte that begins
// no sequence, or one that the end of the text cuts short, counts as one byte of its own value,
// so that a walk over damaged text still moves on.
char32_t decodeUtf8At(std::string_view text, std::size_t at, std::size_t& length);

// The bytes a code point takes in UTF-8, and the code point appended in UTF-8.
constexpr std::size_t utf8Length(char32_t c) {
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}
void appendUtf8(std::string& out, char32_t c);

// One code point of UTF-16 at 'at': its value and the bytes it takes ('used'). A unit that is
// no character (a lone surrogate, an odd last byte) is U+FFFD.
char32_t decodeUtf16At(std::string_view text, std::size_t at, bool bigEndian, std::size_t& used);

// UTF-16 to UTF-8, a unit that is no character becoming U+FFFD; and the way back for offsets,
// ascending, at character boundaries of the copy.
std::string utf16ToUtf8(std::string_view text, bool bigEndian);
std::vector<std::int64_t> utf16OffsetsOf(std::string_view text, bool bigEndian,
                                         const std::vector<std::int64_t>& utf8Offsets);

}  // namespace folioknife::splitter
