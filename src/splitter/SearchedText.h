#pragma once
// The text the heading rules search, read line by line.
#include <algorithm>
#include <cstddef>
#include <limits>
#include <string_view>

#include "splitter/ByteScan.h"
#include "splitter/DocumentEncoding.h"
#include "splitter/HeadingMarks.h"
#include "splitter/Unicode.h"

namespace folioknife::splitter {

// No offset: a line start too far back, no volume line.
constexpr std::size_t kNoOffset = std::numeric_limits<std::size_t>::max();

constexpr std::size_t kLongestLine = 40;  // characters of a line with a lead or a title
constexpr std::size_t kLookBack = 4096;   // bytes searched back for the line's start
constexpr std::size_t kLookAhead = 4096;  // bytes of a line looked at after a heading

inline bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// The byte length of the character at 'i'. The rules walk from a line start, which is always a
// boundary, so a lead byte is all they need to look at.
inline std::size_t characterLength(std::string_view text, std::size_t i, CharacterSet characters) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = 1;
    if (characters == CharacterSet::Utf8) {
        n = std::max<std::size_t>(1, utf8SequenceLength(c));
    } else if (characters == CharacterSet::DoubleByte) {
        n = c >= 0x81 && c <= 0xFE ? 2 : 1;
    }
    return n <= text.size() - i ? n : text.size() - i;
}

// The whole text the rules search, with the marks of its code page, and what the rules ask of
// the lines in it: where a line begins and ends, its blanks, its punctuation, its length.
struct SearchedText {
    std::string_view text;
    const LineMarks& marks;
    const NumberedMarks& numbers;
    CharacterSet characters;

    std::size_t nextCharacter(std::size_t i) const {
        return i + characterLength(text, i, characters);
    }
    // The line's start before 'offset'; kNoOffset when it lies farther back than a lead can.
    std::size_t lineStartBefore(std::size_t offset) const {
        const std::size_t floor = offset > kLookBack ? offset - kLookBack : 0;
        std::size_t start = offset;
        while (start > floor && !isLineEnd(text[start - 1])) --start;
        if (start > 0 && !isLineEnd(text[start - 1])) return kNoOffset;
        return start;
    }
    // The end of the line that holds 'i' (its line end), looked for up to kLookAhead bytes on.
    std::size_t lineEndAfter(std::size_t i) const {
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
        for (; i < end; i = nextCharacter(i)) {
            if (marks.punctuationAt(text, i)) return true;
        }
        return false;
    }
    // Characters from 'i' to the last one before 'end' that is no blank.
    std::size_t visibleLength(std::size_t i, std::size_t end) const {
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
    bool isStructuralLead(std::size_t i, std::size_t offset) const {
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
        return !hasPunctuation(i, end) && visibleLength(i, end) <= kLongestLine;
    }
};

}  // namespace folioknife::splitter
