#include "splitter/HeadingLineRules.h"

#include <cstring>
#include <unordered_set>

namespace folioknife::splitter {

namespace {
constexpr std::size_t kLongestLead = 20;      // characters before a heading within its line
constexpr std::size_t kContentsEntries = 4;   // entries a table of contents has at least
constexpr std::size_t kBlankLinesBefore = 8;  // between a volume line and its first chapter
}  // namespace

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

namespace {

// The words before a heading on its line, from 'i' (after the line's blanks) to 'offset': a
// short lead is fine (《书名》第一章, 第一卷 江湖 第一章 on a short line without a sentence, or
// brackets, 正文 and volume parts before a heading with any title); a longer one makes it text.
bool leadIsText(const SearchedText& searched, std::size_t i, std::size_t offset, std::size_t end) {
    if (i >= offset) return false;
    std::size_t leadCharacters = 0;
    for (std::size_t j = i; j < offset; j = searched.nextCharacter(j)) {
        if (++leadCharacters > kLongestLead) return true;
    }
    return (searched.visibleLength(i, end) > kLongestLine || searched.hasPunctuation(i, end)) &&
           !searched.isStructuralLead(i, offset);
}

// An end marker: （第八章完）, 第八章 完, 第八章终, alone on the line.
bool isEndMarker(const SearchedText& searched, std::size_t i, std::size_t offset,
                 std::size_t matchEnd, std::size_t end) {
    const std::string_view text = searched.text;
    const LineMarks& marks = searched.marks;
    std::size_t j = searched.skipBlanks(matchEnd, end);
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
bool isPageHeader(const SearchedText& searched, std::size_t i, std::size_t matchEnd,
                  std::size_t end) {
    if (searched.visibleLength(i, end) > kLongestLine) return true;
    const std::string_view text = searched.text;
    const LineMarks& marks = searched.marks;
    std::size_t previous = kNoOffset, run = kNoOffset, beforeRun = kNoOffset;
    for (std::size_t j = matchEnd; j < end;) {
        if (const std::size_t blank = marks.blankAt(text, j); blank != 0) {
            previous = j;
            j += blank;
            continue;
        }
        if (marks.digitAt(text, j) == 0) {
            run = kNoOffset;
        } else if (run == kNoOffset) {
            run = j;
            beforeRun = previous;
        }
        previous = j;
        j = searched.nextCharacter(j);
    }
    return run != kNoOffset && beforeRun != kNoOffset && marks.blankAt(text, beforeRun) == 0 &&
           marks.bracketAt(text, beforeRun) == 0;
}

// A volume line just before the heading's line at 'start', only blank lines between: the
// piece begins there. Never at or before the previous cut.
void findVolumeLine(const SearchedText& searched, HeadingCandidate& c, std::size_t start,
                    std::size_t previousCut) {
    const std::string_view text = searched.text;
    std::size_t lineStart = start;
    for (std::size_t steps = 0; steps <= kBlankLinesBefore && lineStart > 0; ++steps) {
        std::size_t previousEnd = lineStart - 1;
        if (text[previousEnd] == '\n' && previousEnd > 0 && text[previousEnd - 1] == '\r')
            --previousEnd;
        const std::size_t previousStart = searched.lineStartBefore(previousEnd);
        if (previousStart == kNoOffset ||
            (previousCut != kNoOffset && previousStart <= previousCut))
            break;
        if (searched.skipBlanks(previousStart, previousEnd) == previousEnd) {
            lineStart = previousStart;  // a blank line
            continue;
        }
        if (searched.isVolumeLine(previousStart, previousEnd)) {
            c.volume = previousStart;
            c.volumeEnd = previousEnd;
        }
        break;
    }
}

// A line of a table of contents: after the heading, dot leaders (three or more) and a page
// number: 第二章　论原始社会……………８….
bool hasPageNumberAfterLeaders(const SearchedText& searched, std::size_t matchEnd,
                               std::size_t end) {
    const std::string_view text = searched.text;
    const LineMarks& marks = searched.marks;
    std::size_t leaders = 0;
    for (std::size_t j = matchEnd; j < end;) {
        if (const std::size_t leader = marks.leaderAt(text, j); leader != 0) {
            ++leaders;
            j += leader;
            continue;
        }
        if (leaders >= 3) {
            j = searched.skipBlanks(j, end);
            return j < end && marks.digitAt(text, j) != 0;
        }
        leaders = 0;
        j = searched.nextCharacter(j);
    }
    return false;
}

}  // namespace

LineVerdict judgeLine(const SearchedText& searched, HeadingCandidate& c, std::size_t previousCut) {
    const auto offset = static_cast<std::size_t>(c.match.offset);
    const std::size_t matchEnd = offset + static_cast<std::size_t>(c.match.length);
    const std::size_t start = searched.lineStartBefore(offset);
    if (start == kNoOffset) return LineVerdict::InText;      // a line far longer than a lead
    if (start == previousCut) return LineVerdict::SameLine;  // one cut a line
    const std::size_t end = searched.lineEndAfter(matchEnd);
    const std::size_t i = searched.skipBlanks(start, offset);
    if (leadIsText(searched, i, offset, end)) return LineVerdict::InText;
    // A reference at the start of a line: 第一章中所讨论的十大原理，….
    if (matchEnd < end && searched.marks.continuationAt(searched.text, matchEnd) != 0 &&
        searched.hasPunctuation(i, end))
        return LineVerdict::InText;
    if (isEndMarker(searched, i, offset, matchEnd, end)) return LineVerdict::InText;
    if (hasPageNumberAfterLeaders(searched, matchEnd, end)) return LineVerdict::Contents;
    c.cut = start;
    c.pageHeader = isPageHeader(searched, i, matchEnd, end);
    findVolumeLine(searched, c, start, previousCut);
    return LineVerdict::Heading;
}

// Lines that hold only a prologue or epilogue heading: 楔子, 尾声, 番外三 回家, 【番外】.
std::vector<HeadingCandidate> findExtras(const SearchedText& searched) {
    std::vector<HeadingCandidate> found;
    const std::string_view text = searched.text;
    const LineMarks& marks = searched.marks;
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
        std::size_t i = searched.skipBlanks(start, end);
        while (i < end && marks.bracketAt(text, i) != 0) i += marks.bracketAt(text, i);
        const std::size_t word = i < end ? marks.extraAt(text, i) : 0;
        if (word == 0) continue;
        std::size_t j = i + word;
        j += j < end ? searched.numbers.numberAt(text, j) : 0;
        // The word is whole: the line ends, or a blank, a bracket or a colon follows.
        const bool whole = j >= end || marks.blankAt(text, j) != 0 ||
                           marks.bracketAt(text, j) != 0 || marks.separatorAt(text, j) != 0;
        if (whole && !searched.hasPunctuation(i, end) &&
            searched.visibleLength(i, end) <= kLongestLine) {
            HeadingCandidate c;
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
std::vector<bool> contentsEntries(const std::vector<HeadingCandidate>& c, std::string_view text,
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

}  // namespace folioknife::splitter
