#include "splitter/Recode.h"

#include "splitter/CustomMatcher.h"
#include "splitter/Unicode.h"

#include <algorithm>

namespace folioknife::splitter {

namespace {

bool isUtf16(const std::string& name, bool& bigEndian) {
    bigEndian = sameCodePage(name, "UTF-16BE");
    return bigEndian || sameCodePage(name, "UTF-16LE");
}

// Strict UTF-16 to UTF-8: a lone surrogate or an odd byte at the end is no text.
std::optional<std::string> fromUtf16(std::string_view text, bool bigEndian) {
    if (text.size() % 2 != 0) return std::nullopt;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const auto unit = [&](std::size_t at) {
            const auto a = static_cast<unsigned char>(text[at]);
            const auto b = static_cast<unsigned char>(text[at + 1]);
            return bigEndian ? (a << 8 | b) : (b << 8 | a);
        };
        const int u = unit(i);
        if (u >= 0xDC00 && u <= 0xDFFF) return std::nullopt;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 4 > text.size()) return std::nullopt;
            const int low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
            i += 2;
        }
    }
    // Well-formed: the matcher's conversion gives it exactly.
    return utf16ToUtf8(text, bigEndian);
}

// Strict UTF-8 (as isValidUtf8 has it) to UTF-16.
std::optional<std::string> toUtf16(std::string_view text, bool bigEndian) {
    if (!isValidUtf8(text)) return std::nullopt;
    std::string out;
    out.reserve(text.size() * 2);
    const auto put = [&](char32_t unit) {
        const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = 0;
        const char32_t c = decodeUtf8At(text, i, n);
        i += n;
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> recode(std::string_view text, const std::string& from,
                                  const std::string& to) {
    if (sameCodePage(from, to)) {
        // Still checked: the same bytes must be text of that encoding.
        bool big = false;
        if (isUtf16(from, big))
            return fromUtf16(text, big) ? std::optional<std::string>(text) : std::nullopt;
        return convertText(text, from, to) ? std::optional<std::string>(text) : std::nullopt;
    }
    bool fromBig = false, toBig = false;
    const bool fromWide = isUtf16(from, fromBig);
    const bool toWide = isUtf16(to, toBig);
    std::optional<std::string> utf8;
    if (fromWide) {
        utf8 = fromUtf16(text, fromBig);
    } else if (toWide) {
        utf8 = sameCodePage(from, "UTF-8") ? std::optional<std::string>(text)
                                           : convertText(text, from, "UTF-8");
    } else {
        return convertText(text, from, to);
    }
    if (!utf8) return std::nullopt;
    if (toWide) return toUtf16(*utf8, toBig);
    return sameCodePage(to, "UTF-8") ? utf8 : convertText(*utf8, "UTF-8", to);
}

std::string readableUtf8(std::string_view text, const DocumentEncoding& encoding) {
    if (isUtf16(encoding.characters))
        return utf16ToUtf8(text, encoding.characters == CharacterSet::Utf16Be);
    // A double-byte code page's pair without a character is one unknown character, and the
    // characters after it are read from their own first bytes.
    if (encoding.characters == CharacterSet::DoubleByte)
        return std::string(Utf8View(text, encoding).text());
    return convertForDisplay(text, encoding.codePage, "UTF-8");
}

std::size_t firstUnconvertible(std::string_view text, const DocumentEncoding& from,
                               const std::string& to) {
    // Line by line to the line that fails, then character by character in it.
    std::size_t line = 0;
    while (line < text.size()) {
        std::size_t end = line;
        while (end < text.size() && text[end] != '\n')
            end = nextCharacterBoundary(text, end, from.characters);
        end = std::min(text.size(), nextCharacterBoundary(text, end, from.characters));
        if (!recode(text.substr(line, end - line), from.codePage, to)) break;
        line = end;
    }
    for (std::size_t at = line; at < text.size();) {
        const std::size_t next = nextCharacterBoundary(text, at, from.characters);
        if (!recode(text.substr(at, next - at), from.codePage, to)) return at;
        at = next;
    }
    return line;
}

VolumeForm volumeFormFor(std::string_view text, const DocumentEncoding& encoding,
                         const std::string& to) {
    VolumeForm form;
    form.to = to;
    form.from = encoding.codePage;
    std::string_view own = byteOrderMarkOf(encoding.characters);
    if (own.empty() && encoding.characters == CharacterSet::Utf8) own = "\xEF\xBB\xBF";
    if (!own.empty() && text.substr(0, own.size()) == own) form.sourceMark = std::string(own);
    if (sameCodePage(to, "UTF-16LE")) form.mark = "\xFF\xFE";
    if (sameCodePage(to, "UTF-16BE")) form.mark = "\xFE\xFF";
    return form;
}

std::optional<std::string> readBackVolume(const VolumeForm& form, std::size_t k,
                                          std::string_view written) {
    if (written.substr(0, form.mark.size()) != form.mark) return std::nullopt;
    written.remove_prefix(form.mark.size());
    std::optional<std::string> back = recode(written, form.to, form.from);
    if (back && k == 1) back->insert(0, form.sourceMark);
    return back;
}

}  // namespace folioknife::splitter
