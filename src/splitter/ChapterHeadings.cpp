#include "splitter/ChapterHeadings.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "splitter/ByteScan.h"
#include "splitter/ChapterExpression.h"
#include "splitter/CustomMatcher.h"

namespace folioknife::splitter {

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// A UTF-16 novel is matched in a UTF-8 copy.
DocumentEncoding matchingEncoding(const DocumentEncoding& encoding) {
    return isUtf16(encoding.characters) ? encodingOf("UTF-8") : encoding;
}

// The byte length of the character at 'i'. The rules walk from a line start, which is always a
// boundary, so a lead byte is all they need to look at.
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

constexpr std::size_t kLongestLead = 20;         // characters before a heading within its line
constexpr std::size_t kLongestLine = 40;         // characters of a line with such a lead
constexpr std::size_t kLookBack = 4096;          // bytes searched back for the line's start
constexpr std::size_t kLookAhead = 4096;         // bytes of a line looked at after a heading
constexpr std::int64_t kCloseContents = 200;     // contents entries with nothing between them
constexpr std::int64_t kContentsSpacing = 1000;  // ... with section entries between them
constexpr std::size_t kContentsEntries = 4;
constexpr std::int64_t kRepeatDistance = 400;  // the same heading again this close is a repeat
constexpr std::size_t kBlankLinesBefore = 8;   // between a volume line and its first chapter
constexpr std::size_t kFewestRegular = 3;      // headings a book needs for its extras to count

// The characters the rules look for, in the encoding of the searched text.
class LineMarks {
public:
    explicit LineMarks(const std::string& codePage) : codePage_(codePage) {
        // The byte-order mark stands before the first line of many UTF-8 novels.
        add(blanks_, {"\u3000", "\uFEFF"});
        add(punctuation_, {"。", "，", "；", "！", "？", "…"});
        add(brackets_, {"【", "《", "「", "［", "（", "】", "》", "」", "］", "）", "〔", "〕"});
        add(mainText_, {"正文"});
        // Words that carry a sentence on right after a chapter's name: 第一章中所讨论的….
        add(continuations_, {"中", "里", "所",   "的", "曾",   "已",   "提到", "讨论", "指出", "说",
                             "讲", "是", "和",   "与", "及",   "里",   "内",   "把",   "将",   "就",
                             "也", "还", "介绍", "谈", "论述", "描述", "写",   "之",   "提"});
        add(endWords_, {"完", "终", "完结", "结束", "终了"});
        add(extras_, {"楔子", "序章", "序幕", "引子", "尾声", "终章", "大结局", "番外", "后记"});
        add(leaders_, {"…", "⋯", "·", "．"});
        add(digits_, {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"});
        add(fullStop_, {"。"});
        add(separators_, {"：", "·", "—"});
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
    std::size_t bracketAt(std::string_view text, std::size_t i) const {
        const char c = text[i];
        if (c == '(' || c == ')' || c == '[' || c == ']') return 1;
        return find(brackets_, text, i);
    }
    std::size_t digitAt(std::string_view text, std::size_t i) const {
        if (text[i] >= '0' && text[i] <= '9') return 1;
        return find(digits_, text, i);
    }
    std::size_t mainTextAt(std::string_view text, std::size_t i) const {
        return find(mainText_, text, i);
    }
    std::size_t continuationAt(std::string_view text, std::size_t i) const {
        return find(continuations_, text, i);
    }
    std::size_t endWordAt(std::string_view text, std::size_t i) const {
        return find(endWords_, text, i);
    }
    std::size_t extraAt(std::string_view text, std::size_t i) const {
        return find(extras_, text, i);
    }
    const std::vector<std::string>& extras() const { return extras_; }
    const std::string& fullStop() const { return fullStop_.empty() ? empty_ : fullStop_[0]; }
    // The byte length of a dot leader's character at 'i' (. … · ．), 0 when there is none.
    std::size_t leaderAt(std::string_view text, std::size_t i) const {
        if (text[i] == '.') return 1;
        return find(leaders_, text, i);
    }
    std::size_t separatorAt(std::string_view text, std::size_t i) const {
        if (text[i] == ':' || text[i] == '-' || text[i] == '.') return 1;
        return find(separators_, text, i);
    }

private:
    void add(std::vector<std::string>& to, std::initializer_list<const char*> utf8) {
        for (const char* text : utf8) {
            auto converted = convertText(text, "UTF-8", codePage_);
            if (converted && !converted->empty()) to.push_back(*converted);
        }
        // Longest first, so that 完结 is taken whole rather than as 完.
        std::stable_sort(to.begin(), to.end(), [](const std::string& a, const std::string& b) {
            return a.size() > b.size();
        });
    }
    static std::size_t find(const std::vector<std::string>& marks, std::string_view text,
                            std::size_t i) {
        if (i >= text.size() || static_cast<unsigned char>(text[i]) < 0x80) return 0;
        for (const std::string& m : marks) {
            if (m[0] == text[i] && text.size() - i >= m.size() &&
                std::memcmp(text.data() + i, m.data(), m.size()) == 0)
                return m.size();
        }
        return 0;
    }
    std::string codePage_;
    std::string empty_;
    std::vector<std::string> blanks_, punctuation_, brackets_, mainText_, continuations_, endWords_,
        extras_, digits_, fullStop_, separators_, leaders_;
};

// Numbered marks that the rules recognise at a given place: a volume part (第二卷, 第三部,
// 卷一) and a plain number.
class NumberedMarks {
public:
    explicit NumberedMarks(const std::string& codePage) {
        const Text numerals = numeralGroup(codePage) + "+";
        const auto in = [&](const char* utf8) {
            auto converted = convertText(utf8, "UTF-8", codePage);
            return converted ? *converted : std::string();
        };
        const Text blanks = "([ \\t]|" + in("\u3000") + "){0,4}";
        for (const char* first : {"第", "卷"}) firstBytes_ += in(first).substr(0, 1);
        // The program's own expressions: they compile.
        (void)volume_.compile(in("第") + blanks + numerals + blanks + "(" + in("卷") + "|" +
                              in("部") + "|" + in("篇") + "|" + in("集") + "|" + in("季") + ")|" +
                              in("卷") + blanks + numerals);
        (void)number_.compile(numerals);
    }
    // The bytes of a volume part that begins exactly at 'i', 0 when none does.
    std::size_t volumeAt(std::string_view text, std::size_t i) const {
        if (firstBytes_.find(text[i]) == std::string::npos) return 0;
        return at(volume_, text, i);
    }
    std::size_t numberAt(std::string_view text, std::size_t i) const {
        return at(number_, text, i);
    }

private:
    static std::size_t at(const ExpressionMatcher& m, std::string_view text, std::size_t i) {
        constexpr std::size_t kWindow = 64;
        const std::string_view window = text.substr(i, std::min(kWindow, text.size() - i));
        const std::vector<ExpressionMatch> found = m.searchAll(window).matches;
        if (found.empty() || found.front().offset != 0) return 0;
        return static_cast<std::size_t>(found.front().length);
    }
    ExpressionMatcher volume_, number_;
    std::string firstBytes_;  // of 第 and 卷: only there can a volume part begin
};

// A line, and what the rules ask of it.
struct LineView {
    std::string_view text;
    const LineMarks& marks;
    const NumberedMarks& numbers;
    CharacterSet characters;

    std::size_t next(std::size_t i) const { return i + characterLength(text, i, characters); }
    // The line's start before 'offset'; kNone when it lies farther back than a lead can.
    std::size_t startBefore(std::size_t offset) const {
        const std::size_t floor = offset > kLookBack ? offset - kLookBack : 0;
        std::size_t start = offset;
        while (start > floor && !isLineEnd(text[start - 1])) --start;
        if (start > 0 && !isLineEnd(text[start - 1])) return kNone;
        return start;
    }
    // The end of the line that holds 'i' (its line end), looked for up to kLookAhead bytes on.
    std::size_t endAfter(std::size_t i) const {
        const std::size_t limit = std::min(text.size(), i + kLookAhead);
        const char* end = findEitherByte(text.data() + i, text.data() + limit, '\n', '\r');
        return static_cast<std::size_t>(end - text.data());
    }
    std::size_t skipBlanks(std::size_t i, std::size_t end) const {
        while (i < end) {
            const std::size_t blank = marks.blankAt(text, i);
            if (blank == 0) break;
            i += blank;
        }
        return i;
    }
    bool hasPunctuation(std::size_t i, std::size_t end) const {
        for (; i < end; i = next(i)) {
            if (marks.punctuationAt(text, i)) return true;
        }
        return false;
    }
    // Characters from 'i' to the last one before 'end' that is no blank.
    std::size_t length(std::size_t i, std::size_t end) const {
        std::size_t counted = 0, upToLastNonBlank = 0;
        while (i < end) {
            ++counted;
            const std::size_t blank = marks.blankAt(text, i);
            if (blank == 0) upToLastNonBlank = counted;
            i += blank != 0 ? blank : characterLength(text, i, characters);
        }
        return upToLastNonBlank;
    }
    // A lead of nothing but brackets, 正文 and volume parts, blanks between them.
    bool structuralLead(std::size_t i, std::size_t offset) const {
        while (i < offset) {
            std::size_t step = marks.blankAt(text, i);
            if (step == 0) step = marks.bracketAt(text, i);
            if (step == 0) step = marks.mainTextAt(text, i);
            if (step == 0) step = numbers.volumeAt(text, i);
            if (step == 0) return false;
            i += step;
        }
        return true;
    }
    // A line of a volume heading alone: 第二卷 江湖远, at most 40 characters, no sentence.
    bool isVolumeLine(std::size_t start, std::size_t end) const {
        std::size_t i = skipBlanks(start, end);
        while (i < end && marks.bracketAt(text, i) != 0) i += marks.bracketAt(text, i);
        const std::size_t part = i < end ? numbers.volumeAt(text, i) : 0;
        if (part == 0 || i + part > end) return false;
        return !hasPunctuation(i, end) && length(i, end) <= kLongestLine;
    }
};

// What the line rules make of one match, in the searched text.
struct Candidate {
    std::size_t cut = 0;         // where its piece begins
    std::size_t volume = kNone;  // the start of a volume line that goes with it
    std::size_t volumeEnd = 0;
    ExpressionMatch match;
    std::string key;          // the heading's text, blanks aside
    bool pageHeader = false;  // its line runs on into text, or ends in a glued page number
    HeadingKind kind = HeadingKind::Chapter;
    // The same, in the novel's own bytes.
    std::int64_t cutAt = 0, volumeAt = -1, volumeEndAt = 0, matchAt = 0, matchEndAt = 0;
};

std::string keyOf(std::string_view heading, const LineMarks& marks) {
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

enum class Verdict { Heading, InText, SameLine, Contents };

// The words before a heading on its line, from 'i' (after the line's blanks) to 'offset': a
// short lead is fine (《书名》第一章, 第一卷 江湖 第一章 on a short line without a sentence, or
// brackets, 正文 and volume parts before a heading with any title); a longer one makes it text.
bool leadIsText(const LineView& line, std::size_t i, std::size_t offset, std::size_t end) {
    if (i >= offset) return false;
    std::size_t leadCharacters = 0;
    for (std::size_t j = i; j < offset; j = line.next(j)) {
        if (++leadCharacters > kLongestLead) return true;
    }
    return (line.length(i, end) > kLongestLine || line.hasPunctuation(i, end)) &&
           !line.structuralLead(i, offset);
}

// An end marker: （第八章完）, 第八章 完, 第八章终, alone on the line.
bool isEndMarker(const LineView& line, std::size_t i, std::size_t offset, std::size_t matchEnd,
                 std::size_t end) {
    const std::string_view text = line.text;
    const LineMarks& marks = line.marks;
    std::size_t j = line.skipBlanks(matchEnd, end);
    if (j >= end || marks.endWordAt(text, j) == 0) return false;
    j += marks.endWordAt(text, j);
    while (j < end && (marks.bracketAt(text, j) != 0 || marks.blankAt(text, j) != 0))
        j += marks.bracketAt(text, j) != 0 ? marks.bracketAt(text, j) : marks.blankAt(text, j);
    std::size_t k = i;
    while (k < offset && marks.bracketAt(text, k) != 0) k += marks.bracketAt(text, k);
    return j >= end && k >= offset;
}

// A page header repeats the chapter's heading with a page number glued to its end
// (第一章漫长的封建社会5), or its line runs on into the body text. A part mark after a
// blank (第五章 2) or in brackets (第五章（下）) is none, nor are digits right after the
// heading.
bool isPageHeader(const LineView& line, std::size_t i, std::size_t matchEnd, std::size_t end) {
    if (line.length(i, end) > kLongestLine) return true;
    const std::string_view text = line.text;
    const LineMarks& marks = line.marks;
    std::size_t previous = kNone, run = kNone, beforeRun = kNone;
    for (std::size_t j = matchEnd; j < end;) {
        if (const std::size_t blank = marks.blankAt(text, j); blank != 0) {
            previous = j;
            j += blank;
            continue;
        }
        if (marks.digitAt(text, j) == 0) {
            run = kNone;
        } else if (run == kNone) {
            run = j;
            beforeRun = previous;
        }
        previous = j;
        j = line.next(j);
    }
    return run != kNone && beforeRun != kNone && marks.blankAt(text, beforeRun) == 0 &&
           marks.bracketAt(text, beforeRun) == 0;
}

// A volume line just before the heading's line at 'start', only blank lines between: the
// piece begins there. Never at or before the previous cut.
void findVolumeLine(const LineView& line, Candidate& c, std::size_t start,
                    std::size_t previousCut) {
    const std::string_view text = line.text;
    std::size_t lineStart = start;
    for (std::size_t steps = 0; steps <= kBlankLinesBefore && lineStart > 0; ++steps) {
        std::size_t previousEnd = lineStart - 1;
        if (text[previousEnd] == '\n' && previousEnd > 0 && text[previousEnd - 1] == '\r')
            --previousEnd;
        const std::size_t previousStart = line.startBefore(previousEnd);
        if (previousStart == kNone || (previousCut != kNone && previousStart <= previousCut)) break;
        if (line.skipBlanks(previousStart, previousEnd) == previousEnd) {
            lineStart = previousStart;  // a blank line
            continue;
        }
        if (line.isVolumeLine(previousStart, previousEnd)) {
            c.volume = previousStart;
            c.volumeEnd = previousEnd;
        }
        break;
    }
}

// A line of a table of contents: after the heading, dot leaders (three or more) and a page
// number: 第二章　论原始社会……………８….
bool hasPageNumberAfterLeaders(const LineView& line, std::size_t matchEnd, std::size_t end) {
    const std::string_view text = line.text;
    const LineMarks& marks = line.marks;
    std::size_t leaders = 0;
    for (std::size_t j = matchEnd; j < end;) {
        if (const std::size_t leader = marks.leaderAt(text, j); leader != 0) {
            ++leaders;
            j += leader;
            continue;
        }
        if (leaders >= 3) {
            j = line.skipBlanks(j, end);
            return j < end && marks.digitAt(text, j) != 0;
        }
        leaders = 0;
        j = line.next(j);
    }
    return false;
}

// The line rules for one match; fills the candidate's cut, page-header mark and volume line.
Verdict judge(const LineView& line, Candidate& c, std::size_t previousCut) {
    const auto offset = static_cast<std::size_t>(c.match.offset);
    const std::size_t matchEnd = offset + static_cast<std::size_t>(c.match.length);
    const std::size_t start = line.startBefore(offset);
    if (start == kNone) return Verdict::InText;          // a line far longer than a lead
    if (start == previousCut) return Verdict::SameLine;  // one cut a line
    const std::size_t end = line.endAfter(matchEnd);
    const std::size_t i = line.skipBlanks(start, offset);
    if (leadIsText(line, i, offset, end)) return Verdict::InText;
    // A reference at the start of a line: 第一章中所讨论的十大原理，….
    if (matchEnd < end && line.marks.continuationAt(line.text, matchEnd) != 0 &&
        line.hasPunctuation(i, end))
        return Verdict::InText;
    if (isEndMarker(line, i, offset, matchEnd, end)) return Verdict::InText;
    if (hasPageNumberAfterLeaders(line, matchEnd, end)) return Verdict::Contents;
    c.cut = start;
    c.pageHeader = isPageHeader(line, i, matchEnd, end);
    findVolumeLine(line, c, start, previousCut);
    return Verdict::Heading;
}

// Lines that hold only a prologue or epilogue heading: 楔子, 尾声, 番外三 回家, 【番外】.
std::vector<Candidate> findExtras(const LineView& line) {
    std::vector<Candidate> found;
    const std::string_view text = line.text;
    const LineMarks& marks = line.marks;
    if (marks.extras().empty()) return found;
    // Lines end in LF (or CR LF); only an old Mac novel ends them in CR alone. memchr is the
    // fastest way through a novel's hundreds of thousands of lines.
    const char* const begin = text.data();
    const char* const stop = begin + text.size();
    const char lineEnd =
        std::memchr(begin, '\n', std::min<std::size_t>(text.size(), 1 << 16)) ? '\n' : '\r';
    for (const char* p = begin; p < stop;) {
        const void* hit = std::memchr(p, lineEnd, static_cast<std::size_t>(stop - p));
        const char* next = hit ? static_cast<const char*>(hit) + 1 : stop;
        const auto start = static_cast<std::size_t>(p - begin);
        std::size_t end = static_cast<std::size_t>(next - begin) - (hit ? 1 : 0);
        if (end > start && text[end - 1] == '\r') --end;
        p = next;
        std::size_t i = line.skipBlanks(start, end);
        while (i < end && marks.bracketAt(text, i) != 0) i += marks.bracketAt(text, i);
        const std::size_t word = i < end ? marks.extraAt(text, i) : 0;
        if (word == 0) continue;
        std::size_t j = i + word;
        j += j < end ? line.numbers.numberAt(text, j) : 0;
        // The word is whole: the line ends, or a blank, a bracket or a colon follows.
        const bool whole = j >= end || marks.blankAt(text, j) != 0 ||
                           marks.bracketAt(text, j) != 0 || marks.separatorAt(text, j) != 0;
        if (whole && !line.hasPunctuation(i, end) && line.length(i, end) <= kLongestLine) {
            Candidate c;
            c.kind = HeadingKind::Extra;
            c.cut = start;
            c.match = {static_cast<std::int64_t>(i), static_cast<std::int64_t>(word)};
            c.key = keyOf(text.substr(i, j - i), marks);
            found.push_back(c);
        }
    }
    return found;
}

// Marks every stretch of four or more headings, each close to the next, whose texts all come
// again later as headings: the entries of a table of contents, which stay in the piece before
// them. Entries farther apart than kCloseContents need section entries between them, not
// chapters: no full stop in between.
std::vector<bool> contentsEntries(const std::vector<Candidate>& c, std::string_view text,
                                  const LineMarks& marks, std::int64_t spacing) {
    const std::size_t n = c.size();
    std::vector<bool> named(n, false);
    std::unordered_set<std::string_view> later;
    for (std::size_t i = n; i > 0; --i) {
        named[i - 1] = later.count(c[i - 1].key) != 0;
        later.insert(c[i - 1].key);
    }
    const auto close = [&](std::size_t j) {
        const std::int64_t apart = c[j].matchAt - c[j - 1].matchAt;
        if (apart < kCloseContents) return true;
        if (apart >= spacing) return false;
        const std::string& stop = marks.fullStop();
        const auto from = static_cast<std::size_t>(c[j - 1].match.offset);
        const std::string_view between =
            text.substr(from, static_cast<std::size_t>(c[j].match.offset) - from);
        return stop.empty() || between.find(stop) == std::string_view::npos;
    };
    std::vector<bool> entry(n, false);
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i;
        while (j < n && named[j] && (j == i || close(j))) ++j;
        if (j - i >= kContentsEntries) {
            for (std::size_t k = i; k < j; ++k) entry[k] = true;
        }
        i = j == i ? i + 1 : j;
    }
    return entry;
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

// Carries ascending offsets of the searched text back to the novel's own bytes; empty when
// they are the same.
using OffsetMap = std::function<std::vector<std::int64_t>(const std::vector<std::int64_t>&)>;

// Carries the candidates' offsets in the searched text back to the novel's own bytes.
void placeInNovel(std::vector<Candidate>& candidates, const OffsetMap& toNovel) {
    const auto same = [](std::size_t o) { return static_cast<std::int64_t>(o); };
    if (!toNovel) {
        for (Candidate& c : candidates) {
            c.cutAt = same(c.cut);
            c.volumeAt = c.volume == kNone ? -1 : same(c.volume);
            c.volumeEndAt = same(c.volumeEnd);
            c.matchAt = c.match.offset;
            c.matchEndAt = c.match.offset + c.match.length;
        }
        return;
    }
    std::vector<std::int64_t> offsets;
    for (const Candidate& c : candidates) {
        offsets.push_back(same(c.cut));
        if (c.volume != kNone)
            offsets.push_back(same(c.volume)), offsets.push_back(same(c.volumeEnd));
        offsets.push_back(c.match.offset);
        offsets.push_back(c.match.offset + c.match.length);
    }
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    const std::vector<std::int64_t> back = toNovel(offsets);
    const auto map = [&](std::int64_t o) {
        return back[static_cast<std::size_t>(std::lower_bound(offsets.begin(), offsets.end(), o) -
                                             offsets.begin())];
    };
    for (Candidate& c : candidates) {
        c.cutAt = map(same(c.cut));
        c.volumeAt = c.volume == kNone ? -1 : map(same(c.volume));
        c.volumeEndAt = c.volume == kNone ? 0 : map(same(c.volumeEnd));
        c.matchAt = map(c.match.offset);
        c.matchEndAt = map(c.match.offset + c.match.length);
    }
}

// Every character of the text whole in the expression: in a double-byte code page, a second
// byte that is an ASCII metacharacter ([ \ ] ^ { | }) is escaped.
Text wholeCharacters(const Text& text, CharacterSet characters) {
    if (characters != CharacterSet::DoubleByte) return text;
    Text out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x81 && c <= 0xFE && i + 1 < text.size()) {
            const char trail = text[++i];
            if (std::strchr("[\\]^{|}", trail) != nullptr && trail != '\0') out += '\\';
            out += trail;
        }
    }
    return out;
}

HeadingSearch sortMatches(const std::vector<ExpressionMatch>& matches, std::string_view searched,
                          const DocumentEncoding& matched, const OffsetMap& toNovel,
                          HeadingRules rules);

HeadingSearch searchMatched(const ExpressionMatcher& matcher, std::string_view text,
                            const DocumentEncoding& encoding, HeadingRules rules) {
    HeadingSearch result;
    const DocumentEncoding matched = matchingEncoding(encoding);
    const bool utf16 = isUtf16(encoding.characters);
    std::string copy;
    if (utf16) copy = utf16ToUtf8(text, encoding.characters == CharacterSet::Utf16Be);
    const std::string_view searched = utf16 ? std::string_view(copy) : text;

    const SearchResult found = matcher.searchAll(searched, matched.characters);
    if (!found.completed) {
        result.status = HeadingSearch::Status::TooComplex;
        return result;
    }
    OffsetMap toNovel;
    if (utf16) {
        toNovel = [&](const std::vector<std::int64_t>& offsets) {
            return utf16OffsetsOf(text, encoding.characters == CharacterSet::Utf16Be, offsets);
        };
    }
    return sortMatches(found.matches, searched, matched, toNovel, rules);
}

HeadingSearch searchMatched(const Text& matchedExpression, std::string_view text,
                            const DocumentEncoding& encoding, HeadingRules rules) {
    ExpressionMatcher matcher;
    if (CompileResult compiled = matcher.compile(matchedExpression); !compiled.ok) {
        HeadingSearch result;
        result.status = HeadingSearch::Status::InvalidExpression;
        result.reason = std::move(compiled.reason);
        return result;
    }
    return searchMatched(matcher, text, encoding, rules);
}

// The text that names a heading, blanks aside. An empty match ("cut before each heading") is
// named by what follows it on its line.
std::string matchKey(std::string_view searched, const ExpressionMatch& m, const LineMarks& marks) {
    const auto from = static_cast<std::size_t>(m.offset);
    std::size_t length = static_cast<std::size_t>(m.length);
    if (length == 0) {
        constexpr std::size_t kNamed = 64;
        const std::size_t limit = std::min(searched.size(), from + kNamed);
        length = static_cast<std::size_t>(
            findEitherByte(searched.data() + from, searched.data() + limit, '\n', '\r') -
            (searched.data() + from));
    }
    return keyOf(searched.substr(from, length), marks);
}

// The matches the line rules take for headings; those they leave out are counted in 'result'.
std::vector<Candidate> judgeMatches(const std::vector<ExpressionMatch>& matches,
                                    const LineView& line, HeadingRules rules,
                                    HeadingSearch& result) {
    std::vector<Candidate> candidates;
    for (const ExpressionMatch& m : matches) {
        Candidate c;
        c.match = m;
        c.cut = static_cast<std::size_t>(m.offset);
        if (rules.lineRule) {
            switch (judge(line, c, candidates.empty() ? kNone : candidates.back().cut)) {
                case Verdict::InText:
                    ++result.leftOutInText;
                    continue;
                case Verdict::SameLine:
                    ++result.leftOutRepeated;
                    continue;
                case Verdict::Contents:
                    ++result.leftOutAsContents;
                    continue;
                case Verdict::Heading:
                    break;
            }
        }
        if (rules.contentsRule || rules.lineRule) c.key = matchKey(line.text, m, line.marks);
        candidates.push_back(std::move(c));
    }
    return candidates;
}

// The same chapter again, close by or as a page header, is no new chapter.
void dropRepeats(std::vector<Candidate>& candidates, HeadingSearch& result) {
    std::vector<Candidate> kept;
    for (Candidate& c : candidates) {
        if (!kept.empty() && kept.back().key == c.key &&
            (c.matchAt - kept.back().matchAt < kRepeatDistance || c.pageHeader)) {
            ++result.leftOutRepeated;
            continue;
        }
        kept.push_back(std::move(c));
    }
    candidates = std::move(kept);
}

// The candidates that stay in the piece before them: the contents entries, and an extra close
// to them (尾声 at the end of the contents).
std::vector<bool> contentsToDrop(const std::vector<Candidate>& all, std::string_view searched,
                                 const LineMarks& marks, HeadingRules rules) {
    std::vector<bool> entry(all.size(), false);
    if (rules.contentsRule) {
        entry = contentsEntries(all, searched, marks,
                                rules.lineRule ? kContentsSpacing : kCloseContents);
    }
    std::vector<bool> dropped = entry;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].kind != HeadingKind::Extra || entry[i]) continue;
        for (std::size_t j : {i - 1, i + 1}) {
            if (j < all.size() && entry[j] &&
                std::abs(all[j].matchAt - all[i].matchAt) < kContentsSpacing)
                dropped[i] = true;
        }
    }
    return dropped;
}

// The headings among the candidates not dropped, one cut a line, each beginning at its volume
// line where it has one; extras only in a book of enough chapters.
void keepHeadings(const std::vector<Candidate>& all, const std::vector<bool>& dropped,
                  HeadingSearch& result) {
    std::size_t regular = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].kind == HeadingKind::Chapter) {
            if (dropped[i]) {
                ++result.leftOutAsContents;
            } else {
                ++regular;
            }
        }
    }
    std::int64_t previousEnd = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Candidate& c = all[i];
        if (dropped[i]) continue;
        if (c.kind == HeadingKind::Extra && regular < kFewestRegular) continue;
        // One cut a line: an extra on a chapter's line adds nothing.
        if (c.cutAt < previousEnd ||
            (!result.headings.empty() && c.cutAt == result.headings.back().offset)) {
            if (c.kind == HeadingKind::Chapter) ++result.leftOutRepeated;
            continue;
        }
        HeadingDetail detail;
        detail.kind = c.kind;
        detail.match = {c.matchAt, c.matchEndAt - c.matchAt};
        std::int64_t cut = c.cutAt;
        if (c.volumeAt >= 0 && c.volumeAt >= previousEnd) {
            cut = c.volumeAt;
            detail.volumeLine = c.volumeEndAt - c.volumeAt;
        }
        result.headings.push_back({cut, c.matchEndAt - cut});
        result.details.push_back(detail);
        previousEnd = c.matchEndAt;
    }
}

// The rules over the matches in the searched text, whose encoding is 'matched'.
HeadingSearch sortMatches(const std::vector<ExpressionMatch>& matches, std::string_view searched,
                          const DocumentEncoding& matched, const OffsetMap& toNovel,
                          HeadingRules rules) {
    HeadingSearch result;
    const LineMarks marks(matched.codePage);
    const NumberedMarks numbers(matched.codePage);
    const LineView line{searched, marks, numbers, matched.characters};

    std::vector<Candidate> candidates = judgeMatches(matches, line, rules, result);
    std::vector<Candidate> extras;
    if (rules.lineRule && candidates.size() >= kFewestRegular) extras = findExtras(line);
    placeInNovel(candidates, toNovel);
    placeInNovel(extras, toNovel);
    if (rules.lineRule) dropRepeats(candidates, result);
    // Contents entries are spaced in the novel's own bytes, the extras among them.
    std::vector<Candidate> all;
    std::merge(std::make_move_iterator(candidates.begin()),
               std::make_move_iterator(candidates.end()), std::make_move_iterator(extras.begin()),
               std::make_move_iterator(extras.end()), std::back_inserter(all),
               [](const Candidate& a, const Candidate& b) { return a.cutAt < b.cutAt; });
    keepHeadings(all, contentsToDrop(all, searched, marks, rules), result);
    return result;
}

// Headings at least 1,500 bytes apart, counted from the first: a page header or a stray match
// or two do not make a book of chapters.
std::size_t spacedHeadings(const HeadingSearch& search) {
    constexpr std::int64_t kApart = 1500;
    std::size_t count = 0;
    std::int64_t last = 0;
    for (const ExpressionMatch& h : search.headings) {
        if (count == 0 || h.offset - last >= kApart) ++count, last = h.offset;
    }
    return count;
}

}  // namespace

std::vector<std::int64_t> findNumberedLines(std::string_view text,
                                            const DocumentEncoding& encoding) {
    const DocumentEncoding matched = matchingEncoding(encoding);
    const bool utf16 = isUtf16(encoding.characters);
    const bool big = encoding.characters == CharacterSet::Utf16Be;
    const std::string copy = utf16 ? utf16ToUtf8(text, big) : std::string();
    const std::string_view searched = utf16 ? std::string_view(copy) : text;
    const LineMarks marks(matched.codePage);
    const NumberedMarks numbers(matched.codePage);
    const LineView line{searched, marks, numbers, matched.characters};
    std::vector<std::int64_t> found;
    for (std::size_t start = 0; start < searched.size();) {
        std::size_t end = start;
        while (end < searched.size() && !isLineEnd(searched[end])) ++end;
        const std::size_t i = line.skipBlanks(start, end);
        const std::size_t number = i < end ? numbers.numberAt(searched, i) : 0;
        if (number != 0 && i + number < end && marks.blankAt(searched, i + number) != 0) {
            const std::size_t title = line.skipBlanks(i + number, end);
            if (title < end && !line.hasPunctuation(i, end) && line.length(i, end) <= kLongestLine)
                found.push_back(static_cast<std::int64_t>(start));
        }
        start = end;
        while (start < searched.size() && isLineEnd(searched[start])) ++start;
    }
    constexpr std::int64_t kApart = 1500;
    if (found.size() < kFewestRegular ||
        (static_cast<std::int64_t>(searched.size()) - found.front()) <
            kApart * static_cast<std::int64_t>(found.size() - 1))
        return {};
    return utf16 ? utf16OffsetsOf(text, big, found) : found;
}

bool isVolumeLine(std::string_view line, const std::string& codePage) {
    // The marks of each code page, made once: a book asks line by line.
    struct Marks {
        explicit Marks(const std::string& page) : marks(page), numbers(page) {}
        LineMarks marks;
        NumberedMarks numbers;
    };
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<Marks>> made;
    const Marks* m = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::unique_ptr<Marks>& slot = made[codePage];
        if (!slot) slot = std::make_unique<Marks>(codePage);
        m = slot.get();
    }
    std::size_t end = line.size();
    while (end > 0 && isLineEnd(line[end - 1])) --end;
    const LineView view{line, m->marks, m->numbers, characterSetOf(codePage)};
    return end > 0 && view.isVolumeLine(0, end);
}

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

CompileResult compileDefaultExpression(ExpressionMatcher& matcher, const Text& prefix,
                                       const Text& suffix, const DocumentEncoding& encoding) {
    return matcher.compile(defaultExpressionFor(prefix, suffix, encoding));
}

HeadingSearch searchChapterHeadings(const Text& expression, std::string_view text,
                                    const DocumentEncoding& encoding, HeadingRules rules) {
    return searchMatched(expressionForDocument(expression, encoding), text, encoding, rules);
}

HeadingSearch searchCustomHeadings(const CustomMatcher& matcher, std::string_view text,
                                   const DocumentEncoding& encoding, HeadingRules rules) {
    HeadingSearch result;
    const Utf8View view(text, encoding);
    const SearchResult found = matcher.searchAll(view.text());
    if (!found.completed) {
        result.status = HeadingSearch::Status::TooComplex;
        return result;
    }
    OffsetMap toNovel;
    if (encoding.characters != CharacterSet::Utf8) {
        toNovel = [&](const std::vector<std::int64_t>& offsets) {
            return view.novelOffsets(offsets);
        };
    }
    rules.lineRule = false;
    return sortMatches(found.matches, view.text(), encodingOf("UTF-8"), toNovel, rules);
}

Text defaultExpressionFor(const Text& prefix, const Text& suffix,
                          const DocumentEncoding& encoding) {
    const DocumentEncoding matched = matchingEncoding(encoding);
    const auto in = [&](const Text& text, const std::string& from) {
        auto converted = sameCodePage(from, matched.codePage)
                             ? std::optional<std::string>(text)
                             : convertText(text, from, matched.codePage);
        return converted ? *converted : text;
    };
    // Up to four blanks, the ideographic space among them: 第 1 章, 第　二　章. Plain groups
    // only, no (?:...): the matcher then sees that every match begins with the prefix and scans
    // for it instead of running the engine over the whole novel.
    const Text blanks = in("([ \\t]|\u3000){0,4}", "UTF-8");
    return "(" + wholeCharacters(in(prefix, programCodePage()), matched.characters) + ")" + blanks +
           "(" + numeralGroup(matched.codePage) + "+)" + blanks + "(" +
           wholeCharacters(in(suffix, programCodePage()), matched.characters) + ")";
}

HeadingSearch searchDefaultHeadings(const Text& prefix, const Text& suffix, std::string_view text,
                                    const DocumentEncoding& encoding, HeadingRules rules) {
    ExpressionMatcher asked;
    if (CompileResult compiled = compileDefaultExpression(asked, prefix, suffix, encoding);
        !compiled.ok) {
        HeadingSearch result;
        result.status = HeadingSearch::Status::InvalidExpression;
        result.reason = std::move(compiled.reason);
        result.suffix = suffix;
        return result;
    }
    return searchDefaultHeadings(asked, prefix, suffix, text, encoding, rules);
}

HeadingSearch searchDefaultHeadings(const ExpressionMatcher& asked, const Text& prefix,
                                    const Text& suffix, std::string_view text,
                                    const DocumentEncoding& encoding, HeadingRules rules) {
    HeadingSearch found = searchMatched(asked, text, encoding, rules);
    found.suffix = suffix;
    if (found.status != HeadingSearch::Status::Done || !rules.lineRule ||
        spacedHeadings(found) >= kFewestRegular)
        return found;
    // Classic novels head their chapters 第…回, others 节, 卷 or 部.
    for (const char* other : {"章", "回", "节", "卷", "部", "篇", "集"}) {
        const Text otherSuffix = programText(other);
        if (otherSuffix == suffix) continue;
        HeadingSearch another = searchMatched(defaultExpressionFor(prefix, otherSuffix, encoding),
                                              text, encoding, rules);
        if (another.status == HeadingSearch::Status::Done &&
            spacedHeadings(another) >= kFewestRegular) {
            another.suffix = otherSuffix;
            another.otherSuffix = true;
            return another;
        }
    }
    return found;
}

}  // namespace folioknife::splitter
