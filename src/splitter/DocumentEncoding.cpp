#include "splitter/DocumentEncoding.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "splitter/CodePage.h"
#include "splitter/LeadBytes.h"

namespace folioknife::splitter {

CharacterSet characterSetOf(const std::string& codePage) {
    if (sameCodePage(codePage, "UTF-8")) return CharacterSet::Utf8;
    if (sameCodePage(codePage, "UTF-16LE")) return CharacterSet::Utf16Le;
    if (sameCodePage(codePage, "UTF-16BE")) return CharacterSet::Utf16Be;
    // Shift-JIS is not matched by characters: its one-byte katakana share the lead bytes'
    // range, which the boundary rule below does not know.
    if (leadBytesOf(codePage) == LeadBytes::Dbcs) return CharacterSet::DoubleByte;
    return CharacterSet::SingleByte;
}

DocumentEncoding encodingOf(const std::string& codePage) {
    return DocumentEncoding{codePage, characterSetOf(codePage)};
}

Utf8Check checkUtf8(std::string_view text, std::size_t tolerated) {
    Utf8Check check;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + text.size();
    const unsigned char* damageEnd = nullptr;
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
        std::size_t length = 0;
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
        }
        // How many bytes of the sequence are well-formed: the lead, then continuation bytes.
        std::size_t good = length == 0 ? 0 : 1;
        const auto available = static_cast<std::size_t>(end - p);
        if (good && available > 1 && p[1] >= low && p[1] <= high) {
            good = 2;
            while (good < length && good < available && (p[good] & 0xC0) == 0x80) ++good;
        }
        if (length != 0 && good == length) {
            check.multiByte = true;
            ++check.multiByteCount;
            p += length;
            continue;
        }
        if (length != 0 && good == available) {
            check.cutOffAtEnd = true;  // the text ends in the middle of this character
            break;
        }
        // Ill-formed bytes: those that began well, or the one stray byte. Bytes ill-formed one
        // after another are one damage (a byte dropped or overwritten inside a character
        // leaves a stray lead and stray continuation bytes).
        if (p != damageEnd && ++check.invalid > tolerated) break;
        p += good == 0 ? 1 : good;
        damageEnd = p;
    }
    return check;
}

bool isValidUtf8(std::string_view text) {
    const Utf8Check check = checkUtf8(text);
    return check.invalid == 0 && !check.cutOffAtEnd;
}

std::string_view byteOrderMarkOf(CharacterSet characters) {
    switch (characters) {
        case CharacterSet::Utf16Le:
            return "\xFF\xFE";
        case CharacterSet::Utf16Be:
            return "\xFE\xFF";
        default:
            return {};
    }
}

namespace {

// True when the code point is one a novel's text is made of: ASCII text and line ends, Latin,
// Greek and Cyrillic letters, general punctuation and symbols, CJK punctuation, kana and
// ideographs, full-width forms, and surrogates (checked for pairing separately).
bool isTextCodePoint(unsigned c) {
    if (c < 0x80) return c >= 0x20 || c == '\t' || c == '\n' || c == '\r';
    return (c >= 0xA0 && c < 0x0530) || (c >= 0x2000 && c < 0x2C00) ||
           (c >= 0x2E80 && c < 0xA000) || (c >= 0xD800 && c < 0xE000) ||
           (c >= 0xF900 && c < 0xFB00) || (c >= 0xFE30 && c < 0xFFFE);
}

// How well the text reads as UTF-16 in one byte order: the units that are text, the line
// feeds, and whether every surrogate is paired.
struct Utf16Reading {
    std::size_t units = 0;
    std::size_t textUnits = 0;
    std::size_t lineFeeds = 0;
    bool paired = true;
};

Utf16Reading readAsUtf16(std::string_view text, bool bigEndian) {
    Utf16Reading r;
    const auto* b = reinterpret_cast<const unsigned char*>(text.data());
    bool highBefore = false;
    for (std::size_t at = 0; at + 2 <= text.size(); at += 2) {
        const unsigned unit = bigEndian ? (b[at] << 8 | b[at + 1]) : (b[at + 1] << 8 | b[at]);
        ++r.units;
        const bool high = unit >= 0xD800 && unit < 0xDC00;
        const bool low = unit >= 0xDC00 && unit < 0xE000;
        if ((low && !highBefore) || (highBefore && !low)) r.paired = false;
        highBefore = high;
        if (isTextCodePoint(unit)) ++r.textUnits;
        if (unit == '\n') ++r.lineFeeds;
    }
    return r;
}

// A UTF-16 text without a byte-order mark, told by its zero bytes: the high byte of every
// ASCII character (line ends, blanks) and the low byte of U+3000 and its kin. No text in
// GBK, GB18030 or UTF-8 holds a zero byte but as padding at its end, which is left out here.
// The byte order is the one in which the first 64 KB read as text (99 % of the units, every
// surrogate paired) with line feeds where the text has lines.
std::optional<CharacterSet> utf16WithoutMark(std::string_view text) {
    std::string_view sample = text.substr(0, 64 * 1024);
    std::size_t end = sample.size();
    if (sample.size() == text.size()) {
        while (end > 0 && sample[end - 1] == '\0') --end;
    }
    sample = sample.substr(0, end - end % 2);
    std::size_t zeros = 0;
    for (char c : sample) zeros += c == '\0';
    if (sample.size() < 4 || zeros == 0) return std::nullopt;
    std::optional<CharacterSet> best;
    std::size_t bestFeeds = 0;
    for (const bool big : {false, true}) {
        const Utf16Reading r = readAsUtf16(sample, big);
        if (!r.paired || r.textUnits * 100 < r.units * 99) continue;
        // A text of several lines has its line feeds as units; one line of text, mostly
        // ASCII, has a zero byte in every other byte.
        if (r.lineFeeds == 0 && zeros * 4 < sample.size()) continue;
        if (!best || r.lineFeeds > bestFeeds) {
            best = big ? CharacterSet::Utf16Be : CharacterSet::Utf16Le;
            bestFeeds = r.lineFeeds;
        }
    }
    return best;
}

}  // namespace

DocumentEncoding detectDocumentEncoding(std::string_view text, const std::string& programCodePage) {
    // Notepad's "Unicode" and "Unicode big endian". (A UTF-32 mark, FF FE 00 00, is left to
    // the code page: no Chinese novel comes that way.)
    if (text.size() >= 2 && text.substr(0, 2) == "\xFF\xFE" &&
        !(text.size() >= 4 && text[2] == '\0' && text[3] == '\0')) {
        return DocumentEncoding{"UTF-16LE", CharacterSet::Utf16Le};
    }
    if (text.size() >= 2 && text.substr(0, 2) == "\xFE\xFF") {
        return DocumentEncoding{"UTF-16BE", CharacterSet::Utf16Be};
    }
    if (const std::optional<CharacterSet> utf16 = utf16WithoutMark(text)) {
        return *utf16 == CharacterSet::Utf16Le ? DocumentEncoding{"UTF-16LE", *utf16}
                                               : DocumentEncoding{"UTF-16BE", *utf16};
    }
    // A GBK novel of any length fails as UTF-8 long before its damage could be called rare, so
    // the look stops early for it.
    const Utf8Check check = checkUtf8(text, text.size() / 10000);
    if (check.multiByte && check.invalid <= text.size() / 10000 &&
        check.multiByteCount / 100 >= check.invalid) {
        return encodingOf("UTF-8");
    }
    // Pure ASCII is in the program's code page, and so is any other text, unless that code
    // page is UTF-8, which the text is not.
    const bool valid = check.invalid == 0 && !check.cutOffAtEnd;
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
        case CharacterSet::Utf16Le:
        case CharacterSet::Utf16Be: {
            // Between units, and not between the two halves of a surrogate pair.
            if (position % 2 != 0) return false;
            if (position + 1 >= text.size()) return true;
            const std::size_t high = characters == CharacterSet::Utf16Le ? 1 : 0;
            const bool lowSurrogate = (byte(position + high) & 0xFC) == 0xDC;
            const bool afterHigh = (byte(position - 2 + high) & 0xFC) == 0xD8;
            return !(lowSurrogate && afterHigh);
        }
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
