#pragma once
// The rules that tell a heading from a match that is none: the line rules for one match
// (a lead, a reference, an end marker, a contents line with dot leaders, a page header, the
// volume line above), the prologue and epilogue lines, and the entries of a table of contents.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "splitter/ChapterHeadings.h"
#include "splitter/SearchedText.h"

namespace folioknife::splitter {

constexpr std::int64_t kCloseContents = 200;     // contents entries with nothing between them
constexpr std::int64_t kContentsSpacing = 1000;  // ... with section entries between them
constexpr std::int64_t kRepeatDistance = 400;    // the same heading again this close is a repeat
constexpr std::size_t kFewestRegular = 3;        // headings a book needs for its extras to count

// What the line rules make of one match, in the searched text.
struct HeadingCandidate {
    std::size_t cut = 0;             // where its piece begins
    std::size_t volume = kNoOffset;  // the start of a volume line that goes with it
    std::size_t volumeEnd = 0;
    ExpressionMatch match;
    std::string key;          // the heading's text, blanks aside
    bool pageHeader = false;  // its line runs on into text, or ends in a glued page number
    HeadingKind kind = HeadingKind::Chapter;
    // The same, in the novel's own bytes.
    std::int64_t cutAt = 0, volumeAt = -1, volumeEndAt = 0, matchAt = 0, matchEndAt = 0;
};

// The heading's text with its blanks left out: two headings of one text are the same chapter.
std::string keyOf(std::string_view heading, const LineMarks& marks);

enum class LineVerdict { Heading, InText, SameLine, Contents };

// The line rules for one match; fills the candidate's cut, page-header mark and volume line.
// 'previousCut' is the cut of the heading before it (kNoOffset for the first).
LineVerdict judgeLine(const SearchedText& searched, HeadingCandidate& c, std::size_t previousCut);

// Lines that hold only a prologue or epilogue heading: 楔子, 尾声, 番外三 回家, 【番外】.
std::vector<HeadingCandidate> findExtras(const SearchedText& searched);

// Marks every stretch of four or more headings, each close to the next, whose texts all come
// again later as headings: the entries of a table of contents. Entries 'spacing' bytes apart
// or more are none.
std::vector<bool> contentsEntries(const std::vector<HeadingCandidate>& c, std::string_view text,
                                  const LineMarks& marks, std::int64_t spacing);

}  // namespace folioknife::splitter
