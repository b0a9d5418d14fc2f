#include "splitter/ChapterHeadings.h"

#include <cstring>
#include <unordered_set>

namespace folioknife::splitter {

namespace {

// A UTF-16 novel is matched in a UTF-8 copy.
bool isUtf16(CharacterSet characters) {
    return characters == CharacterSet::Utf16Le || characters == CharacterSet::Utf16Be;
}
DocumentEncoding matchingEncoding(const DocumentEncoding& encoding) {
    return isUtf16(encoding.characters) ? encodingOf("UTF-8") : encoding;
}

// The byte length of the character at 'i'. The line rule walks from a line start, which is
// always a boundary, so a lead byte is all it needs to look at.
std::size_t characterLength(std::string_view text, std::size_t i, CharacterSet characters) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = 1;
    if (characters == CharacterSet::Utf8) {
        n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    } else if (characters == CharacterSet::DoubleByte) {
        n = c >= 0x81 && c <= 0xFE ? 2 : 1;
    }
    return n <= text.size() - i ? n : text.size() - i;
}

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// Blanks and sentence punctuation, in the encoding of the text.
class LineMarks {
public:
    explicit LineMarks(const std::string& codePage) {
        // The byte-order mark stands before the first line of many UTF-8 novels.
        for (const char* blank : {"\u3000", "\uFEFF"}) add(blanks_, blank, codePage);
        for (const char* mark : {"。", "，", "；", "！", "？", "…"})
            add(punctuation_, mark, codePage);
    }
    // The byte length of the blank at 'i', 0 when there is none.
    std::size_t blankAt(std::string_view text, std::size_t i) const {
        if (text[i] == ' ' || text[i] == '\t') return 1;
        return find(blanks_, text, i);
    }
    bool punctuationAt(std::string_view text, std::size_t i) const {
        const char c = text[i];
        return c == ',' || c == ';' || c == '!' || c == '?' || find(punctuation_, text, i) != 0;
    }

private:
    static void add(std::vector<std::string>& to, const char* utf8, const std::string& codePage) {
        auto converted = convertText(utf8, "UTF-8", codePage);
        if (converted && !converted->empty()) to.push_back(*converted);
    }
    static std::size_t find(const std::vector<std::string>& marks, std::string_view text,
                            std::size_t i) {
        if (static_cast<unsigned char>(text[i]) < 0x80) return 0;
        for (const std::string& m : marks) {
            if (text.size() - i >= m.size() &&
                std::memcmp(text.data() + i, m.data(), m.size()) == 0)
                return m.size();
        }
        return 0;
    }
    std::vector<std::string> blanks_, punctuation_;
};

constexpr std::size_t kLongestLead = 20;        // characters before a heading within its line
constexpr std::size_t kLongestLine = 40;        // characters of a line with such a lead
constexpr std::size_t kLookBack = 4096;         // bytes searched back for the line's start
constexpr std::int64_t kContentsSpacing = 200;  // bytes from one contents entry to the next
constexpr std::size_t kContentsEntries = 4;

// True when the match at 'offset' begins its line after nothing but blanks, or stands on a
// short line without sentence punctuation after a short lead (《书名》第一章, 【第一章】,
// 第一卷 第一章): a reference in running text has a sentence around it.
bool standsAsHeading(std::string_view text, std::size_t offset, const LineMarks& marks,
                     CharacterSet characters) {
    const std::size_t floor = offset > kLookBack ? offset - kLookBack : 0;
    std::size_t start = offset;
    while (start > floor && !isLineEnd(text[start - 1])) --start;
    if (start > 0 && !isLineEnd(text[start - 1])) return false;  // a line far longer than a lead
    std::size_t i = start;
    while (i < offset) {
        const std::size_t blank = marks.blankAt(text, i);
        if (blank == 0) break;
        i += blank;
    }
    if (i >= offset) return true;  // begins its line: a heading however long the line
    std::size_t leadCharacters = 0;
    for (std::size_t j = i; j < offset; j += characterLength(text, j, characters)) {
        if (++leadCharacters > kLongestLead) return false;
    }
    // The whole line: short, and no sentence in it. Blanks at its end do not count.
    std::size_t counted = 0, upToLastNonBlank = 0;
    for (std::size_t j = i; j < text.size() && !isLineEnd(text[j]);) {
        if (marks.punctuationAt(text, j)) return false;
        ++counted;
        const std::size_t blank = marks.blankAt(text, j);
        if (blank == 0) {
            upToLastNonBlank = counted;
            if (upToLastNonBlank > kLongestLine) return false;
        }
        j += blank != 0 ? blank : characterLength(text, j, characters);
    }
    return true;
}

// The heading's text with its blanks taken out: a contents line 第1章 names the heading 第 1 章.
std::string headingKey(std::string_view text, const ExpressionMatch& m, const LineMarks& marks) {
    const std::string_view heading =
        text.substr(static_cast<std::size_t>(m.offset), static_cast<std::size_t>(m.length));
    std::string key;
    for (std::size_t i = 0; i < heading.size();) {
        const std::size_t blank = marks.blankAt(heading, i);
        if (blank != 0) {
            i += blank;
        } else {
            key += heading[i++];
        }
    }
    return key;
}

// Drops every stretch of four or more headings, each less than 200 bytes from the next, whose
// texts all come again later as headings: the entries of a table of contents, which stay in
// the piece before them. 'keys' are the headings' texts, blanks aside.
std::vector<ExpressionMatch> dropContents(const std::vector<ExpressionMatch>& headings,
                                          const std::vector<std::string>& keys,
                                          std::int64_t& leftOut) {
    const std::size_t n = headings.size();
    // Named again: a later heading has the same text.
    std::vector<bool> named(n, false);
    std::unordered_set<std::string_view> later;
    for (std::size_t i = n; i > 0; --i) {
        named[i - 1] = later.count(keys[i - 1]) != 0;
        later.insert(keys[i - 1]);
    }
    std::vector<bool> entry(n, false);
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i;
        while (j < n && named[j] &&
               (j == i || headings[j].offset - headings[j - 1].offset < kContentsSpacing)) {
            ++j;
        }
        if (j - i >= kContentsEntries) {
            for (std::size_t k = i; k < j; ++k) entry[k] = true;
        }
        i = j == i ? i + 1 : j;
    }
    std::vector<ExpressionMatch> kept;
    for (std::size_t i = 0; i < n; ++i) {
        if (entry[i]) {
            ++leftOut;
        } else {
            kept.push_back(headings[i]);
        }
    }
    return kept;
}

// One code point of UTF-16 at 'i': its value and the bytes it takes.
char32_t decodeUtf16(std::string_view text, std::size_t i, bool bigEndian, std::size_t& used) {
    const auto unit = [&](std::size_t at) {
        const auto a = static_cast<unsigned char>(text[at]);
        const auto b = static_cast<unsigned char>(text[at + 1]);
        return static_cast<char32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    if (text.size() - i < 2) {
        used = text.size() - i;
        return 0xFFFD;
    }
    used = 2;
    const char32_t first = unit(i);
    if (first >= 0xD800 && first <= 0xDBFF && text.size() - i >= 4) {
        const char32_t second = unit(i + 2);
        if (second >= 0xDC00 && second <= 0xDFFF) {
            used = 4;
            return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
        }
    }
    if (first >= 0xD800 && first <= 0xDFFF) return 0xFFFD;
    return first;
}

std::size_t utf8Length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

}  // namespace

std::string utf16ToUtf8(std::string_view text, bool bigEndian) {
    std::string out;
    out.reserve(text.size() / 2 * 3);
    for (std::size_t i = 0, used = 0; i < text.size(); i += used) {
        const char32_t c = decodeUtf16(text, i, bigEndian, used);
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
            at8 += static_cast<std::int64_t>(utf8Length(decodeUtf16(text, at16, bigEndian, used)));
            at16 += used;
        }
        out.push_back(static_cast<std::int64_t>(at16));
    }
    return out;
}

Text expressionForDocument(const Text& expression, const DocumentEncoding& encoding) {
    const DocumentEncoding matched = matchingEncoding(encoding);
    if (sameCodePage(matched.codePage, programCodePage())) return expression;
    auto converted = convertText(expression, programCodePage(), matched.codePage);
    return converted ? *converted : expression;
}

std::string expressionError(const Text& expression, const DocumentEncoding& encoding) {
    ExpressionMatcher matcher;
    if (matcher.compile(expressionForDocument(expression, encoding))) return {};
    return matcher.compileError().empty() ? std::string("?") : matcher.compileError();
}

HeadingSearch searchChapterHeadings(const Text& expression, std::string_view text,
                                    const DocumentEncoding& encoding, HeadingRules rules) {
    HeadingSearch result;
    const DocumentEncoding matched = matchingEncoding(encoding);
    const bool utf16 = isUtf16(encoding.characters);
    const bool bigEndian = encoding.characters == CharacterSet::Utf16Be;
    std::string copy;
    if (utf16) copy = utf16ToUtf8(text, bigEndian);
    const std::string_view searched = utf16 ? std::string_view(copy) : text;

    ExpressionMatcher matcher;
    if (!matcher.compile(expressionForDocument(expression, encoding))) {
        result.status = HeadingSearch::Status::InvalidExpression;
        result.reason = matcher.compileError();
        return result;
    }
    bool gaveUp = false;
    const std::vector<ExpressionMatch> matches =
        matcher.searchAll(searched, matched.characters, &gaveUp);
    if (gaveUp) {
        result.status = HeadingSearch::Status::TooComplex;
        return result;
    }
    const LineMarks marks(matched.codePage);
    std::vector<ExpressionMatch>& kept = result.headings;
    for (const ExpressionMatch& m : matches) {
        if (!rules.lineRule || standsAsHeading(searched, static_cast<std::size_t>(m.offset), marks,
                                               matched.characters)) {
            kept.push_back(m);
        } else {
            ++result.leftOutInText;
        }
    }
    std::vector<std::string> keys;
    if (rules.contentsRule) {
        for (const ExpressionMatch& m : kept) keys.push_back(headingKey(searched, m, marks));
    }
    if (utf16) {
        // Starts and ends alternate in ascending order: the matches do not overlap.
        std::vector<std::int64_t> offsets;
        for (const ExpressionMatch& m : kept) {
            offsets.push_back(m.offset);
            offsets.push_back(m.offset + m.length);
        }
        const std::vector<std::int64_t> back = utf16OffsetsOf(text, bigEndian, offsets);
        for (std::size_t i = 0; i < kept.size(); ++i) {
            kept[i].offset = back[2 * i];
            kept[i].length = back[2 * i + 1] - back[2 * i];
        }
    }
    // Contents entries are spaced in the novel's own bytes.
    if (rules.contentsRule) kept = dropContents(kept, keys, result.leftOutAsContents);
    return result;
}

}  // namespace folioknife::splitter
