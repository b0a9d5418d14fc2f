#include "splitter/Unicode.h"

namespace folioknife::splitter {

char32_t decodeUtf8At(std::string_view text, std::size_t at, std::size_t& length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    length = utf8SequenceLength(lead);
    if (length == 0 || at + length > text.size()) length = 1;
    if (length == 1) return lead;
    char32_t c = lead & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i) c = (c << 6) | (byte(at + i) & 0x3F);
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    switch (utf8Length(c)) {
        case 1:
            out += static_cast<char>(c);
            break;
        case 2:
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
            break;
        case 3:
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
            break;
        default:
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t decodeUtf16At(std::string_view text, std::size_t at, bool bigEndian, std::size_t& used) {
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(text[i]);
        const auto b = static_cast<unsigned char>(text[i + 1]);
        return static_cast<char32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    if (text.size() - at < 2) {
        used = text.size() - at;
        return 0xFFFD;
    }
    used = 2;
    const char32_t first = unit(at);
    if (first >= 0xD800 && first <= 0xDBFF && text.size() - at >= 4) {
        const char32_t second = unit(at + 2);
        if (second >= 0xDC00 && second <= 0xDFFF) {
            used = 4;
            return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
        }
    }
    if (first >= 0xD800 && first <= 0xDFFF) return 0xFFFD;
    return first;
}

std::string utf16ToUtf8(std::string_view text, bool bigEndian) {
    std::string out;
    out.reserve(text.size() / 2 * 3);
    for (std::size_t i = 0, used = 0; i < text.size(); i += used)
        appendUtf8(out, decodeUtf16At(text, i, bigEndian, used));
    return out;
}

std::vector<std::int64_t> utf16OffsetsOf(std::string_view text, bool bigEndian,
                                         const std::vector<std::int64_t>& utf8Offsets) {
    std::vector<std::int64_t> out;
    out.reserve(utf8Offsets.size());
    std::size_t at16 = 0;
    std::int64_t at8 = 0;
    for (std::int64_t target : utf8Offsets) {
        while (at8 < target && at16 < text.size()) {
            std::size_t used = 0;
            at8 +=
                static_cast<std::int64_t>(utf8Length(decodeUtf16At(text, at16, bigEndian, used)));
            at16 += used;
        }
        out.push_back(static_cast<std::int64_t>(at16));
    }
    return out;
}

}  // namespace folioknife::splitter
